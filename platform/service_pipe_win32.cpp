#include <windows.h>
#include <sddl.h>
#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include "platform/service_pipe_win32.h"
#include "core/status_hold.h"
#include "engine/asked_operation.h"
#include "engine/log.h"
#include "platform/service_calls.h"
#include "platform/service_control.h"
#include "sys/clock.h"
#include "sys/win32/owned_handle.h"

namespace orvane {
namespace {

constexpr wchar_t pipe_path[] = L"\\\\.\\pipe\\Chronobel";
// SYSTEM and Administrators may do anything; interactive users may connect,
// read and write (FILE_GENERIC_READ, FILE_WRITE_DATA, FILE_WRITE_ATTRIBUTES),
// but not create an instance of the pipe (FILE_CREATE_PIPE_INSTANCE, which
// GENERIC_WRITE would include) and so never serve it in the service's place.
constexpr wchar_t pipe_security[] = L"D:P(A;;GA;;;SY)(A;;GA;;;BA)(A;;0x12018b;;;IU)";
static_assert((FILE_GENERIC_READ | FILE_WRITE_DATA | FILE_WRITE_ATTRIBUTES) == 0x12018b);
static_assert((0x12018b & FILE_CREATE_PIPE_INSTANCE) == 0);
// One instance waits for a client while another waits for its operation.
constexpr DWORD pipe_instances = 2;
constexpr DWORD pipe_buffer_bytes = 1024;
static_assert(pipe_answer_size_max <= pipe_buffer_bytes);
// The pipe thread looks at the stop and at the running operation this often.
constexpr DWORD pipe_look_ms = 100;
// An answer must be written, and the client must close its end, within these.
constexpr DWORD answer_write_limit_ms = 1'000;
constexpr DWORD client_close_limit_ms = 1'000;
// The longest operation: four time-outs of the longest query, and its steps.
constexpr std::uint64_t operation_answer_limit_ms = 150'000;
// The client waits a little longer than the service for the answer.
constexpr std::uint64_t client_answer_limit_ms = operation_answer_limit_ms + 10'000;
constexpr DWORD client_connect_limit_ms = 10'000;

DWORD left_of(std::uint64_t deadline) {
    const std::uint64_t now = tick_count64();
    return now >= deadline ? 0 : static_cast<DWORD>(std::min<std::uint64_t>(deadline - now, INFINITE - 1));
}

// Waits for the overlapped call on `pipe` (started: its return value) until
// `deadline` (tick_count64) or, when given, until `*stop` is set, then
// cancels it. Returns 0 (done), ERROR_MORE_DATA (the message goes on),
// WAIT_TIMEOUT, or the call's error; `got` the bytes.
DWORD await_io(HANDLE pipe, OVERLAPPED& io, BOOL started, std::uint64_t deadline, DWORD& got,
               const std::atomic<std::uint8_t>* stop = nullptr) {
    got = 0;
    if (!started) {
        const DWORD error = GetLastError();
        if (error != ERROR_IO_PENDING && error != ERROR_MORE_DATA) return error;
        bool done = error != ERROR_IO_PENDING;
        while (!done && left_of(deadline) > 0 && !(stop && *stop))
            done = WaitForSingleObject(io.hEvent, std::min(left_of(deadline), pipe_look_ms)) == WAIT_OBJECT_0;
        if (!done) {
            CancelIo(pipe);
            // The cancelled call has let go of the buffer once this returns.
            GetOverlappedResult(pipe, &io, &got, TRUE);
            got = 0;
            return WAIT_TIMEOUT;
        }
    }
    return GetOverlappedResult(pipe, &io, &got, FALSE) ? ERROR_SUCCESS : GetLastError();
}

// One pipe handle with the event of its overlapped calls.
struct pipe_end {
    // The event outlives the pipe, whose close ends a call still pending.
    owned_kernel_handle event{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    owned_kernel_handle pipe;
    OVERLAPPED io{};

    OVERLAPPED& fresh_io() {
        io = OVERLAPPED{};
        io.hEvent = event.get();
        ResetEvent(io.hEvent);
        return io;
    }
    DWORD read(void* buffer, std::size_t capacity, std::uint64_t wait_ms, DWORD& got,
               const std::atomic<std::uint8_t>* stop = nullptr) {
        OVERLAPPED& o = fresh_io();
        const BOOL started = ReadFile(pipe.get(), buffer, static_cast<DWORD>(capacity), nullptr, &o);
        return await_io(pipe.get(), o, started, tick_count64() + wait_ms, got, stop);
    }
    bool write(const void* bytes, std::size_t size, DWORD wait_ms, const std::atomic<std::uint8_t>* stop = nullptr) {
        OVERLAPPED& o = fresh_io();
        const BOOL started = WriteFile(pipe.get(), bytes, static_cast<DWORD>(size), nullptr, &o);
        DWORD put = 0;
        return await_io(pipe.get(), o, started, tick_count64() + wait_ms, put, stop) == ERROR_SUCCESS && put == size;
    }
};

// ---- the service's side ----

// Every wait of the service's side also ends at the service's stop.
using stop_flag = const std::atomic<std::uint8_t>*;

class client_source final : public pipe_source {
public:
    client_source(pipe_end& end, stop_flag stop) : end_(end), stop_(stop) {}
    pipe_read_outcome read(std::uint8_t* buffer, std::size_t capacity, std::uint32_t wait_ms,
                           std::size_t& got) override {
        DWORD bytes = 0;
        const DWORD result = end_.read(buffer, capacity, wait_ms, bytes, stop_);
        got = bytes;
        switch (result) {
            case ERROR_SUCCESS: return bytes ? pipe_read_outcome::data : pipe_read_outcome::ended;
            case ERROR_MORE_DATA: return pipe_read_outcome::message_longer;
            case WAIT_TIMEOUT: return pipe_read_outcome::timed_out;
            default: return pipe_read_outcome::ended;
        }
    }

private:
    pipe_end& end_;
    stop_flag stop_;
};

// A new instance of the pipe; the first one of the process claims the name,
// so that nobody who made the pipe before the service is ever connected to.
bool create_instance(pipe_end& end, bool first) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(pipe_security, SDDL_REVISION_1, &descriptor, nullptr))
        return false;
    const owned_local held(descriptor);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    const DWORD open_mode = PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0);
    const DWORD pipe_mode = PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS;
    end.pipe.reset(CreateNamedPipeW(pipe_path, open_mode, pipe_mode, pipe_instances, pipe_buffer_bytes,
                                    pipe_buffer_bytes, 0, &attributes));
    if (end.pipe.get() == INVALID_HANDLE_VALUE) end.pipe.release();
    return end.pipe && end.event;
}

// Waits (through the end's event) for a client; a client already there
// signals the event at once, one already gone is let go. False when the
// instance cannot listen now (the pipe thread tries again on its next look).
bool listen(pipe_end& end) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        OVERLAPPED& o = end.fresh_io();
        if (ConnectNamedPipe(end.pipe.get(), &o)) {
            SetEvent(o.hEvent);
            return true;
        }
        const DWORD error = GetLastError();
        if (error == ERROR_PIPE_CONNECTED) SetEvent(o.hEvent);
        if (error == ERROR_PIPE_CONNECTED || error == ERROR_IO_PENDING) return true;
        if (error != ERROR_NO_DATA) return false;
        DisconnectNamedPipe(end.pipe.get());
    }
    return false;
}

// Writes the answer, lets the client read it (its close, within a limit)
// and disconnects.
void answer_and_disconnect(pipe_end& end, const pipe_answer& answer, stop_flag stop) {
    const std::string bytes = encode_pipe_answer(answer);
    if (end.write(bytes.data(), bytes.size(), answer_write_limit_ms, stop)) {
        std::uint8_t rest[pipe_request_size];
        DWORD got = 0;
        while (end.read(rest, sizeof rest, client_close_limit_ms, got, stop) == ERROR_SUCCESS && got) {
        }
    }
    DisconnectNamedPipe(end.pipe.get());
}

void log_pipe(chronobel_state& state, std::string_view message) {
    const settings_record& s = state.settings;
    if (s.log_errors && !s.log_disabled) write_log_line(state, message, "");
}

const char* refusal_text(pipe_request_status status) {
    switch (status) {
        case pipe_request_status::too_long: return "Request on the service's pipe ignored: too long";
        case pipe_request_status::timed_out: return "Request on the service's pipe ignored: not sent in time";
        default: return "Request on the service's pipe ignored: malformed";
    }
}

// The request handed to the worker, waiting for its end.
struct waiting_client {
    pipe_end end;
    std::uint32_t ended_before = 0;
    std::uint64_t deadline = 0;
};

class pipe_server {
public:
    explicit pipe_server(chronobel_state& state) : state_(state) {}

    void run() {
        if (!create_instance(listener_, true)) {
            log_pipe(state_, "The service's pipe could not be made");
            return;
        }
        listening_ = listen(listener_);
        while (!state_.stop_requested) {
            if (!listening_ && listener_.pipe) listening_ = listen(listener_);
            const HANDLE events[] = {listener_.event.get(), static_cast<HANDLE>(state_.service_stop_event)};
            const DWORD count = events[1] ? 2 : 1;
            const DWORD woken = WaitForMultipleObjects(count, events, FALSE, pipe_look_ms);
            if (waiting_ && (state_.asked.ended != waiting_->ended_before || left_of(waiting_->deadline) == 0))
                answer_waiting();
            if (woken == WAIT_OBJECT_0 && listening_) serve_connected();
        }
        // A client still waiting for its operation finds the pipe broken.
        // The wait for a client ends before its OVERLAPPED goes.
        if (listener_.pipe && CancelIo(listener_.pipe.get())) WaitForSingleObject(listener_.event.get(), pipe_look_ms);
    }

private:
    stop_flag stop() const { return &state_.stop_requested; }

    void answer_waiting() {
        pipe_answer answer;
        if (state_.asked.ended != waiting_->ended_before) {
            answer.kind = state_.asked.succeeded ? pipe_answer_succeeded : pipe_answer_failed;
            answer.text = kept_result_text(state_);
        }
        answer_and_disconnect(waiting_->end, answer, stop());
        // Without a second instance, this one listens again.
        if (!listener_.pipe) {
            listener_ = std::move(waiting_->end);
            listening_ = listen(listener_);
        }
        waiting_.reset();
    }

    // A client has connected to the listening instance: its request is read
    // within the limits, then answered busy, or handed to the worker (the
    // instance then waits for the answer and a new one listens).
    void serve_connected() {
        DWORD ignored = 0;
        if (!GetOverlappedResult(listener_.pipe.get(), &listener_.io, &ignored, FALSE) &&
            GetLastError() != ERROR_PIPE_CONNECTED) {
            DisconnectNamedPipe(listener_.pipe.get());
            listening_ = listen(listener_);
            return;
        }
        client_source source(listener_, stop());
        const pipe_read_result request = read_pipe_request(source);
        if (request.status != pipe_request_status::taken) {
            log_pipe(state_, refusal_text(request.status));
            DisconnectNamedPipe(listener_.pipe.get());
        } else if (waiting_ || state_.engine.in_progress || !take_pipe_request(rate_, tick_count64())) {
            answer_and_disconnect(listener_, {pipe_answer_busy, {}}, stop());
        } else {
            hand_over(request.operation);
            return;
        }
        listening_ = listen(listener_);
    }

    void hand_over(asked_operation operation) {
        auto waiting = std::make_unique<waiting_client>();
        waiting->ended_before = state_.asked.ended;
        waiting->deadline = tick_count64() + operation_answer_limit_ms;
        if (!ask_operation(state_, operation)) {
            answer_and_disconnect(listener_, {pipe_answer_busy, {}}, stop());
            listening_ = listen(listener_);
            return;
        }
        waiting->end = std::move(listener_);
        waiting_ = std::move(waiting);
        // The waiting instance keeps the name, so the new one needs no claim.
        listener_ = pipe_end{};
        listening_ = create_instance(listener_, false) && listen(listener_);
        if (!listener_.pipe) log_pipe(state_, "The service's pipe could not take another client");
    }

    chronobel_state& state_;
    pipe_end listener_;
    bool listening_ = false;
    std::unique_ptr<waiting_client> waiting_;
    pipe_rate_limit rate_;
};

// ---- the desktop program's side ----

std::atomic<bool> asking{false};

pipe_end connect_to_service(const std::atomic<std::uint8_t>* stop) {
    pipe_end end;
    const std::uint64_t deadline = tick_count64() + client_connect_limit_ms;
    for (;;) {
        // Identification only: the service may know who asks, never act as them.
        end.pipe.reset(CreateFileW(pipe_path, GENERIC_READ | FILE_WRITE_DATA, 0, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr));
        if (end.pipe.get() != INVALID_HANDLE_VALUE) return end;
        end.pipe.release();
        const DWORD left = left_of(deadline);
        if (GetLastError() != ERROR_PIPE_BUSY || left == 0 || (stop && *stop)) return end;
        WaitNamedPipeW(pipe_path, std::min(left, pipe_look_ms));
    }
}

std::string answer_text(const pipe_answer& answer) {
    switch (answer.kind) {
        case pipe_answer_busy: return "The Chronobel service is busy, please try again in a few seconds";
        case pipe_answer_no_result: return "The Chronobel service did not answer";
        default: return answer.text;
    }
}

}  // namespace

bool start_service_pipe(chronobel_state& state) {
    return start_program_thread(state, program_thread::pipe, [](chronobel_state& s) { pipe_server(s).run(); });
}

bool service_takes_requests() {
    service_status_record status;
    std::uint8_t installed = 0, running = 0;
    return query_service(service_name, status, installed, running) == service_call_done && running;
}

pipe_answer ask_service(asked_operation operation, const std::atomic<std::uint8_t>* stop) {
    pipe_answer answer;
    pipe_end end = connect_to_service(stop);
    if (!end.pipe || !end.event) return answer;
    const auto request = encode_pipe_request(operation);
    if (!end.write(request.data(), request.size(), answer_write_limit_ms)) return answer;
    std::uint8_t bytes[pipe_answer_size_max + 1];
    DWORD got = 0;
    const DWORD result = end.read(bytes, sizeof bytes, client_answer_limit_ms, got, stop);
    if ((result == ERROR_SUCCESS || result == ERROR_MORE_DATA) && !decode_pipe_answer(bytes, got, answer))
        answer = pipe_answer{};
    return answer;
}

void ask_service_in_background(chronobel_state& state, asked_operation operation) {
    if (asking.exchange(true)) return;
    main_view& view = state.view();
    view.enable(control_correct_button, false);
    view.set_text(control_status_line, operation == asked_operation::correct
                                           ? "Asking the Chronobel service to correct the clock..."
                                           : "Asking the Chronobel service to check the clock...");
    const bool started = start_program_thread(state, program_thread::pipe, [operation](chronobel_state& s) {
        // The program's end does not wait for the service.
        const pipe_answer answer = ask_service(operation, &s.stop_requested);
        s.view().set_text(control_status_line, answer_text(answer));
        hold_status_text(s);
        s.view().enable(control_correct_button, true);
        asking = false;
    });
    if (started) return;
    view.enable(control_correct_button, true);
    asking = false;
}

}  // namespace orvane
