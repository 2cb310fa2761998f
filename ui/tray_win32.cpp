#include "engine/health.h"
#include "resources/resource_ids.h"
#include "sys/clock.h"
#include "sys/threads.h"
#include "ui/main_window_win32.h"
#include "ui/tray_tip.h"
#include "ui/win32/tray_icon_win32.h"

namespace orvane {
namespace {

// The tray's icons are 16 pixels square.
constexpr int tray_icon_size = 16;
constexpr char balloon_title[] = "Chronobel";

// The icon of a look other than "in sync" (the program's own), loaded once
// on the window thread and kept for the program's life.
HICON look_icon(const chronobel_state& state, int resource) {
    return static_cast<HICON>(LoadImageW(static_cast<HINSTANCE>(state.h_instance), MAKEINTRESOURCEW(resource),
                                         IMAGE_ICON, tray_icon_size, tray_icon_size, LR_DEFAULTCOLOR));
}

bool tray_icon_shown() { return window_mode == window_in_tray && !started_silent; }

}  // namespace

HICON current_tray_icon(const chronobel_state& state) {
    static const HICON stale = look_icon(state, IDI_TRAY_STALE);
    static const HICON failing = look_icon(state, IDI_TRAY_FAILING);
    HICON icon = nullptr;
    switch (current_tray_look(state.health, health_period_ms(state), tick_count64())) {
        case tray_look::stale: icon = stale; break;
        case tray_look::failing: icon = failing; break;
        case tray_look::in_sync: break;
    }
    return icon ? icon : static_cast<HICON>(state.small_icon);
}

void show_health(HWND window, chronobel_state& state) {
    // Notices that come while the window is shown are on its status line
    // and in the log already: they are not kept for later.
    const std::uint32_t events = state.health.pending.exchange(health_none);
    if (!tray_icon_shown()) return;
    const HICON icon = current_tray_icon(state);
    notify_icon(window, icon, nullptr, NIM_MODIFY);
    if (!state.extras.balloons) return;
    for (health_event event : {health_failing, health_recovered, health_clock_off}) {
        if (!(events & event)) continue;
        const DWORD kind = event == health_recovered ? NIIF_INFO : NIIF_WARNING;
        notify_balloon(window, icon, balloon_title, health_event_text(event), kind);
    }
}

void minimise_to_tray(HWND window, chronobel_state& state) {
    ShowWindow(window, SW_HIDE);
    // After the silent start the window goes without an icon.
    if (!started_silent) notify_icon(window, current_tray_icon(state), "Chronobel", NIM_ADD);
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
    notify_icon(window, current_tray_icon(state), tip.c_str(), NIM_MODIFY);
    if (mouse_message == WM_LBUTTONDOWN) {
        window_mode = window_shown;
        notify_icon(window, current_tray_icon(state), nullptr, NIM_DELETE);
        ShowWindow(window, SW_RESTORE);
        SetForegroundWindow(window);
    } else if (mouse_message == WM_RBUTTONUP) {
        show_popup_menu(window, state);
    }
    set_event(state.worker_event);
}

}  // namespace orvane
