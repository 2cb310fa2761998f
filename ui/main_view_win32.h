// The main window as background threads see it. They never send to the
// window: the view keeps the latest text of each control (and its enable
// state and tooltip, and the title) and posts one notification, which the
// window thread answers by applying whatever is new.
#pragma once
#include <windows.h>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include "core/main_view.h"
#include "core/state.h"

namespace orvane {

// Posted to the main window when the view holds something new; never more
// than one is waiting.
constexpr UINT view_changed_message = WM_APP + 1;

class posting_view final : public main_view {
public:
    explicit posting_view(const chronobel_state& state) : state_(state) {}

    // Any thread.
    void set_text(int control, std::string_view text) override;
    void enable(int control, bool enabled) override;
    void set_tooltip(int control, std::string_view text) override;
    void set_title(std::string_view text) override;
    void post_command(int command) override;

    // The window thread: the window to write to, and when it goes, none (a
    // view without a window keeps and posts nothing).
    void attach(HWND window);
    void detach();
    // The window thread, on view_changed_message: writes what is new.
    void apply();

private:
    struct changes {
        std::map<int, std::string> texts;
        std::map<int, bool> enabled;
        std::map<int, std::string> tooltips;
        std::optional<std::string> title;
    };
    // Called with the mutex held, after a change was recorded.
    void notify_locked();

    const chronobel_state& state_;
    std::mutex mutex_;
    HWND window_ = nullptr;
    bool notification_pending_ = false;
    changes pending_;
};

}  // namespace orvane
