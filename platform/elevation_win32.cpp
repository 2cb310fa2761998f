#include "platform/elevation_win32.h"
#include <shellapi.h>
#include "core/main_view.h"
#include "platform/startup_win32.h"

namespace orvane {

bool relaunch_elevated(chronobel_state& state, HWND window) {
    // The new instance reads the settings as it starts, while this one may
    // still be ending.
    save_settings_and_startup(state);
    const std::wstring& program = state.program_path.full;
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(window, L"runas", program.c_str(), nullptr, nullptr, SW_SHOWDEFAULT));
    if (result <= 32) return false;
    PostMessageW(window, WM_COMMAND, command_exit, 0);
    return true;
}

}  // namespace orvane
