#include "ui/scan_window_win32.h"

namespace orvane {

// The scan itself is not built yet: the window only closes when asked.
LRESULT CALLBACK scan_wnd_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_CLOSE:
            DestroyWindow(window);
            return 0;
        case WM_CREATE:
        case WM_SIZE:
        case WM_NOTIFY:
        case WM_TIMER:
            return 0;
        default:
            return DefWindowProcW(window, message, wparam, lparam);
    }
}

}  // namespace orvane
