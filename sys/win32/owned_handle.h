// Owners of Win32 handles: each closes its handle with the one call that
// handle needs, once, when it goes out of scope.
#pragma once
#include <windows.h>
#include <shellapi.h>
#include <utility>

namespace orvane {

template <typename Handle, auto close_fn, Handle empty = Handle{}>
class owned_handle {
public:
    owned_handle() = default;
    explicit owned_handle(Handle handle) : handle_(handle) {}
    ~owned_handle() { reset(); }
    owned_handle(owned_handle&& other) noexcept : handle_(std::exchange(other.handle_, empty)) {}
    owned_handle& operator=(owned_handle&& other) noexcept {
        if (this != &other) reset(std::exchange(other.handle_, empty));
        return *this;
    }
    owned_handle(const owned_handle&) = delete;
    owned_handle& operator=(const owned_handle&) = delete;

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != empty; }
    // Gives the handle up without closing it.
    Handle release() { return std::exchange(handle_, empty); }
    void reset(Handle handle = empty) {
        if (handle_ != empty) close_fn(handle_);
        handle_ = handle;
    }
    // For calls that fill in a handle: closes the one held first.
    Handle* out() {
        reset();
        return &handle_;
    }

private:
    Handle handle_ = empty;
};

namespace handle_closers {
inline void close_handle(HANDLE h) { CloseHandle(h); }
inline void close_key(HKEY h) { RegCloseKey(h); }
inline void close_service(SC_HANDLE h) { CloseServiceHandle(h); }
inline void destroy_menu(HMENU h) { DestroyMenu(h); }
inline void destroy_icon(HICON h) { DestroyIcon(h); }
inline void free_argv(LPWSTR* h) { LocalFree(h); }
inline void free_local(HLOCAL h) { LocalFree(h); }
}  // namespace handle_closers

// Threads, events, processes: closed with CloseHandle.
using owned_kernel_handle = owned_handle<HANDLE, handle_closers::close_handle>;
using owned_key = owned_handle<HKEY, handle_closers::close_key>;
// The service control manager and services opened from it.
using owned_service = owned_handle<SC_HANDLE, handle_closers::close_service>;
using owned_menu = owned_handle<HMENU, handle_closers::destroy_menu>;
using owned_icon = owned_handle<HICON, handle_closers::destroy_icon>;
// The block CommandLineToArgvW returns.
using owned_argv = owned_handle<LPWSTR*, handle_closers::free_argv>;
// Memory the system handed over with LocalAlloc (descriptors, SID texts).
using owned_local = owned_handle<HLOCAL, handle_closers::free_local>;

}  // namespace orvane
