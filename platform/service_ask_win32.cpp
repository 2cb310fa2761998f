#include <windows.h>
#include <algorithm>
#include <atomic>
#include <string>
#include "platform/service_ask_win32.h"
#include "core/status_hold.h"
#include "platform/pipe_io_win32.h"
#include "platform/service_calls.h"
#include "platform/service_control.h"
#include "sys/clock.h"

namespace orvane {
namespace {

// The service gives an operation this long; the program waits a little longer.
constexpr std::uint64_t answer_limit_ms = service_operation_limit_ms + 10'000;
constexpr DWORD connect_limit_ms = 10'000;

std::atomic<bool> asking{false};

// Connects and sends the request. A connection that the service lets go
// before it took the request (an instance between two clients) is made
// again: nothing was asked on it.
pipe_end send_request(asked_operation operation, stop_flag stop) {
    const auto request = encode_pipe_request(operation);
    pipe_end end;
    const std::uint64_t deadline = tick_count64() + connect_limit_ms;
    for (;;) {
        // Identification only: the service may know who asks, never act as them.
        end.pipe.reset(CreateFileW(service_pipe_path, GENERIC_READ | FILE_WRITE_DATA, 0, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr));
        DWORD error = GetLastError();
        if (end.pipe.get() == INVALID_HANDLE_VALUE) {
            end.pipe.release();
        } else if (end.write(request.data(), request.size(), pipe_write_limit_ms, stop)) {
            return end;
        } else {
            error = ERROR_PIPE_BUSY;
            end.pipe.reset();
        }
        const DWORD left = left_of(deadline);
        if (error != ERROR_PIPE_BUSY || left == 0 || (stop && *stop)) return end;
        WaitNamedPipeW(service_pipe_path, std::min(left, pipe_look_ms));
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

bool service_takes_requests() {
    service_status_record status;
    std::uint8_t installed = 0, running = 0;
    return query_service(service_name, status, installed, running) == service_call_done && running;
}

pipe_answer ask_service(asked_operation operation, stop_flag stop) {
    pipe_answer answer;
    pipe_end end = send_request(operation, stop);
    if (!end.pipe) return answer;
    std::uint8_t bytes[pipe_answer_size_max + 1];
    DWORD got = 0;
    const DWORD result = end.read(bytes, sizeof bytes, answer_limit_ms, got, stop);
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
