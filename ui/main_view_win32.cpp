#include "ui/main_view_win32.h"
#include "ui/win32/controls_win32.h"
#include "ui/win32/tooltips_win32.h"

namespace orvane {

void posting_view::notify_locked() {
    if (notification_pending_) return;
    // PostMessage never waits for the window thread; if the queue is full
    // the next change tries again.
    notification_pending_ = PostMessageW(window_, view_changed_message, 0, 0) != 0;
}

void posting_view::set_text(int control, std::string_view text) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!window_) return;
    pending_.texts[control] = text;
    notify_locked();
}

void posting_view::enable(int control, bool enabled) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!window_) return;
    pending_.enabled[control] = enabled;
    notify_locked();
}

void posting_view::set_tooltip(int control, std::string_view text) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!window_) return;
    pending_.tooltips[control] = text;
    notify_locked();
}

void posting_view::set_title(std::string_view text) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!window_) return;
    pending_.title = std::string(text);
    notify_locked();
}

void posting_view::post_command(int command) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (window_) PostMessageW(window_, WM_COMMAND, static_cast<WPARAM>(command), 0);
}

void posting_view::attach(HWND window) {
    std::lock_guard<std::mutex> lock(mutex_);
    window_ = window;
}

void posting_view::detach() {
    std::lock_guard<std::mutex> lock(mutex_);
    window_ = nullptr;
    pending_ = {};
    notification_pending_ = false;
}

void posting_view::apply() {
    changes now;
    HWND window;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        window = window_;
        now = std::move(pending_);
        pending_ = {};
        notification_pending_ = false;
    }
    if (!window) return;
    for (const auto& [control, text] : now.texts) set_control_text(window, control, text);
    for (const auto& [control, enabled] : now.enabled) enable_control(window, control, enabled);
    for (const auto& [control, text] : now.tooltips) add_tooltip(control, text, state_, window);
    if (now.title) SetWindowTextA(window, now.title->c_str());
}

}  // namespace orvane
