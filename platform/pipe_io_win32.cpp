#include <windows.h>
#include <algorithm>
#include "platform/pipe_io_win32.h"
#include "sys/clock.h"

namespace orvane {
namespace {

// Waits for the overlapped call on `pipe` (started: its return value) until
// `deadline` (tick_count64) or, when given, until `*stop` is set, then
// cancels it. Returns 0 (done), ERROR_MORE_DATA (the message goes on),
// WAIT_TIMEOUT, or the call's error; `got` the bytes.
DWORD await_io(HANDLE pipe, OVERLAPPED& io, BOOL started, std::uint64_t deadline, DWORD& got, stop_flag stop) {
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

}  // namespace

DWORD left_of(std::uint64_t deadline) {
    const std::uint64_t now = tick_count64();
    return now >= deadline ? 0 : static_cast<DWORD>(std::min<std::uint64_t>(deadline - now, INFINITE - 1));
}

OVERLAPPED& pipe_end::fresh_io() {
    io = OVERLAPPED{};
    io.hEvent = event.get();
    ResetEvent(io.hEvent);
    return io;
}

DWORD pipe_end::read(void* buffer, std::size_t capacity, std::uint64_t wait_ms, DWORD& got, stop_flag stop) {
    OVERLAPPED& o = fresh_io();
    const BOOL started = ReadFile(pipe.get(), buffer, static_cast<DWORD>(capacity), nullptr, &o);
    return await_io(pipe.get(), o, started, tick_count64() + wait_ms, got, stop);
}

bool pipe_end::write(const void* bytes, std::size_t size, DWORD wait_ms, stop_flag stop) {
    OVERLAPPED& o = fresh_io();
    const BOOL started = WriteFile(pipe.get(), bytes, static_cast<DWORD>(size), nullptr, &o);
    DWORD put = 0;
    return await_io(pipe.get(), o, started, tick_count64() + wait_ms, put, stop) == ERROR_SUCCESS && put == size;
}

}  // namespace orvane
