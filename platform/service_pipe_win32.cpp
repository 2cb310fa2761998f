#include <windows.h>
#include <sddl.h>
#include <algorithm>
#include <memory>
#include <string>
#include "platform/service_pipe_win32.h"
#include "engine/asked_operation.h"
#include "engine/log.h"
#include "platform/pipe_io_win32.h"
#include "platform/service_pipe.h"
#include "sys/clock.h"

namespace orvane {
namespace {

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
// A client must close its end within this once answered.
constexpr DWORD client_close_limit_ms = 1'000;

// The client as the request reader sees it; every wait of the service's side
// also ends at the service's stop.
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
    end.pipe.reset(CreateNamedPipeW(service_pipe_path, open_mode, pipe_mode, pipe_instances, pipe_buffer_bytes,
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
    if (end.write(bytes.data(), bytes.size(), pipe_write_limit_ms, stop)) {
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
        waiting->deadline = tick_count64() + service_operation_limit_ms;
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

}  // namespace

bool start_service_pipe(chronobel_state& state) {
    return start_program_thread(state, program_thread::pipe, [](chronobel_state& s) { pipe_server(s).run(); });
}

}  // namespace orvane
