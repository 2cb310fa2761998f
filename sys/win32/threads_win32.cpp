#include <windows.h>
#include <new>
#include "sys/threads.h"

namespace orvane {
namespace {

struct start_block {
    thread_proc proc;
    void* parameter;
};

DWORD WINAPI thread_start(LPVOID raw) {
    start_block block = *static_cast<start_block*>(raw);
    delete static_cast<start_block*>(raw);
    block.proc(block.parameter);
    return 0;
}

}  // namespace

thread_handle start_thread(thread_proc proc, void* parameter) {
    auto* block = new (std::nothrow) start_block{proc, parameter};
    if (!block) return nullptr;
    HANDLE thread = CreateThread(nullptr, 0, thread_start, block, 0, nullptr);
    if (!thread) delete block;
    return thread;
}

void close_thread_handle(thread_handle thread) {
    if (thread) CloseHandle(thread);
}

event_handle create_manual_event() { return CreateEventW(nullptr, TRUE, FALSE, nullptr); }
void set_event(event_handle e) { if (e) SetEvent(e); }
void reset_event(event_handle e) { if (e) ResetEvent(e); }
bool wait_event(event_handle e, std::uint32_t timeout_ms) {
    return e && WaitForSingleObject(e, timeout_ms) == WAIT_OBJECT_0;
}
void close_event(event_handle e) { if (e) CloseHandle(e); }

}  // namespace orvane
