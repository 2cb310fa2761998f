#include "sys/clock.h"
#include "sys/threads.h"
#include "ui/main_window_win32.h"
#include "ui/tray_tip.h"
#include "ui/win32/tray_icon_win32.h"

namespace orvane {

void minimise_to_tray(HWND window, chronobel_state& state) {
    ShowWindow(window, SW_HIDE);
    // After the silent start the window goes without an icon.
    if (!started_silent) notify_icon(window, static_cast<HICON>(state.small_icon), "Chronobel", NIM_ADD);
    window_mode = window_in_tray;
    status_refresh_ms = 30'000;
}

void tray_callback(HWND window, chronobel_state& state, WPARAM icon_id, LPARAM mouse_message) {
    if (icon_id != 0) return;
    // The tip is brought up to date on every mouse event over the icon.
    // The status line's text, for an outcome still held there.
    char status_line[tray_tip_limit + 1] = {};
    GetDlgItemTextA(window, control_status_line, status_line, static_cast<int>(sizeof status_line));
    const std::string tip = tray_tip_text(state, tick_count64(), status_line);
    notify_icon(window, static_cast<HICON>(state.small_icon), tip.c_str(), NIM_MODIFY);
    if (mouse_message == WM_LBUTTONDOWN) {
        window_mode = window_shown;
        notify_icon(window, static_cast<HICON>(state.small_icon), nullptr, NIM_DELETE);
        ShowWindow(window, SW_RESTORE);
        SetForegroundWindow(window);
    } else if (mouse_message == WM_RBUTTONUP) {
        show_popup_menu(window, state);
    }
    set_event(state.worker_event);
}

}  // namespace orvane
