#include "ui/options_links_win32.h"
#include <shellapi.h>
#include "core/auto_period.h"
#include "core/paths.h"
#include "core/settings_file.h"
#include "sys/clock.h"

// STAND-INS: the main window's timer, the start-up registration, the elevated
// relaunch and the help are being built elsewhere. Until they land, these
// bodies do the least that keeps the sheet's effects visible; each becomes a
// one-line call of the real function then.
namespace orvane::options_links {
namespace {

constexpr UINT_PTR auto_timer = 10;

}  // namespace

// Stand-in for the main window's arm_auto_timer(window, state).
void arm_auto_timer(chronobel_state& state) {
    const settings_record& s = state.settings;
    if (!s.autosync_enabled && !s.autocheck_enabled) return;
    const std::uint32_t now = tick_count();
    if (state.autosync_start_tick == 0) state.autosync_start_tick = now;
    if (state.autocheck_start_tick == 0) state.autocheck_start_tick = now;
    const std::int64_t sync_left = state.autosync_start_tick + auto_period_ms(s.autosync_count, s.autosync_unit) - now;
    const std::int64_t check_left =
        state.autocheck_start_tick + auto_period_ms(s.autocheck_count, s.autocheck_unit) - now;
    const bool check_first = s.autocheck_enabled && (!s.autosync_enabled || check_left < sync_left);
    state.due_start_tick = check_first ? state.autocheck_start_tick.load() : state.autosync_start_tick.load();
    state.due_period_ms = auto_period_ms(check_first ? s.autocheck_count : s.autosync_count,
                                         check_first ? s.autocheck_unit : s.autosync_unit);
    state.auto_due.exchange(check_first ? 1 : 2);
    const std::int64_t left = std::max<std::int64_t>(check_first ? check_left : sync_left, 60'000);
    SetTimer(static_cast<HWND>(state.main_window), auto_timer, static_cast<UINT>(std::min<std::int64_t>(left, 0x7FFFFFFF)),
             nullptr);
}

// Stand-in for save_settings_and_startup(state): the settings file only.
void save_settings_and_startup(chronobel_state& state) { save_settings(state, state.data_dir()); }

// Stand-in for relaunch_elevated(state, window).
void relaunch_elevated(chronobel_state& state) {
    const std::wstring program = state.program_dir() + state.exe_name;
    ShellExecuteW(nullptr, L"runas", program.c_str(), nullptr, nullptr, SW_SHOWDEFAULT);
}

// Stand-in for the About dialog's open_readme.
void open_readme(chronobel_state& state, HWND) {
    const std::wstring readme = join_path(state.program_dir(), L"ReadMe.htm");
    ShellExecuteW(nullptr, nullptr, readme.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace orvane::options_links
