#include <windows.h>
#include <new>
#include <utility>
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

// The thread's handle: waited on for the join, closed after it. Closing it
// while the thread runs lets the thread go on alone.
struct joinable_thread::record {
    HANDLE handle;
};

bool joinable_thread::start(thread_proc proc, void* parameter) {
    if (record_) return false;
    auto* block = new (std::nothrow) start_block{proc, parameter};
    auto* r = new (std::nothrow) record{nullptr};
    if (block && r) r->handle = CreateThread(nullptr, 0, thread_start, block, 0, nullptr);
    if (!r || !r->handle) {
        delete block;
        delete r;
        return false;
    }
    record_ = r;
    return true;
}

bool joinable_thread::join_for(std::uint32_t timeout_ms) {
    if (!record_) return true;
    if (WaitForSingleObject(record_->handle, timeout_ms) != WAIT_OBJECT_0) return false;
    let_go();
    return true;
}

void joinable_thread::let_go() {
    if (!record_) return;
    CloseHandle(record_->handle);
    delete std::exchange(record_, nullptr);
}

event_handle create_manual_event() { return CreateEventW(nullptr, TRUE, FALSE, nullptr); }
void set_event(event_handle e) { if (e) SetEvent(e); }
void reset_event(event_handle e) { if (e) ResetEvent(e); }
bool wait_event(event_handle e, std::uint32_t timeout_ms) {
    return e && WaitForSingleObject(e, timeout_ms) == WAIT_OBJECT_0;
}
void close_event(event_handle e) { if (e) CloseHandle(e); }

}  // namespace orvane
