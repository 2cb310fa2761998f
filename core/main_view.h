// How background threads reach the main window: the Win32 window implements
// it with its controls, the native program by printing, tests by recording,
// and the service by doing nothing.
#pragma once
#include <string_view>

namespace orvane {

// Controls of the main window that background threads write.
enum main_control : int {
    control_check_button = 1,
    control_correct_button = 3,
    control_options_button = 101,
    control_status_line = 1000,
    control_local_time = 1029,
    control_server_time = 1030,
    control_server_name = 1032,
};

// Command posted to the main window when the worker has stopped.
constexpr int command_exit_after_stop = 2031;
// Command posted to the main window when a failed automatic operation
// leaves a retry to arm.
constexpr int command_arm_auto_retry = 2032;
// Command posted to the main window when the tray icon's look changed or
// notices wait to be shown (core/health.h).
constexpr int command_health_changed = 2033;
// The menu's "Exit": the orderly end of the program.
constexpr int command_exit = 2;

class main_view {
public:
    virtual ~main_view() = default;
    virtual void set_text(int control, std::string_view text) = 0;
    virtual void enable(int control, bool enabled) = 0;
    virtual void set_tooltip(int control, std::string_view text) = 0;
    virtual void set_title(std::string_view text) = 0;
    virtual void post_command(int command) = 0;
};

// The view that writes nothing (the service, and start-up before a window).
class null_view final : public main_view {
public:
    void set_text(int, std::string_view) override {}
    void enable(int, bool) override {}
    void set_tooltip(int, std::string_view) override {}
    void set_title(std::string_view) override {}
    void post_command(int) override {}
};

}  // namespace orvane
