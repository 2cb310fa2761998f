#include "ui/options_links_win32.h"
#include <shellapi.h>
#include "core/paths.h"
#include "platform/elevation_win32.h"
#include "platform/startup_win32.h"
#include "ui/main_window_win32.h"

namespace orvane::options_links {

void arm_auto_timer(chronobel_state& state) { orvane::arm_auto_timer(static_cast<HWND>(state.main_window), state); }

void save_settings_and_startup(chronobel_state& state) { orvane::save_settings_and_startup(state); }

void relaunch_elevated(chronobel_state& state) {
    orvane::relaunch_elevated(state, static_cast<HWND>(state.main_window));
}

// STAND-IN until the About dialog's open_readme lands: opens "ReadMe.htm"
// of the program directory with the shell; a missing file shows nothing.
void open_readme(chronobel_state& state, HWND owner) {
    const std::wstring readme = join_path(state.program_dir(), L"ReadMe.htm");
    ShellExecuteW(owner, L"open", readme.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace orvane::options_links
