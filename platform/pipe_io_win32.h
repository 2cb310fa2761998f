// The overlapped calls on a named pipe that both sides of the service's
// pipe make: each waits within a time limit and, when given, until a stop.
#pragma once
#include <windows.h>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include "sys/win32/owned_handle.h"

namespace orvane {

inline constexpr wchar_t service_pipe_path[] = L"\\\\.\\pipe\\Chronobel";
// Waits look at the stop this often.
constexpr DWORD pipe_look_ms = 100;
// An answer or a request must be written within this.
constexpr DWORD pipe_write_limit_ms = 1'000;

// Set when the waiting side should give up (the program or service ends).
using stop_flag = const std::atomic<std::uint8_t>*;

// Milliseconds from now to `deadline` (tick_count64), 0 once passed.
DWORD left_of(std::uint64_t deadline);

// One pipe handle with the event of its overlapped calls. read and write
// return 0 (done), ERROR_MORE_DATA (the message goes on), WAIT_TIMEOUT (the
// limit or the stop came first; the call is cancelled), or the call's error.
struct pipe_end {
    // The event outlives the pipe, whose close ends a call still pending.
    owned_kernel_handle event{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    owned_kernel_handle pipe;
    OVERLAPPED io{};

    // The OVERLAPPED of the next call, its event reset.
    OVERLAPPED& fresh_io();
    DWORD read(void* buffer, std::size_t capacity, std::uint64_t wait_ms, DWORD& got, stop_flag stop = nullptr);
    bool write(const void* bytes, std::size_t size, DWORD wait_ms, stop_flag stop = nullptr);
};

}  // namespace orvane
