// What the options sheet asks of the main window, the start-up registration,
// the elevation and the help: one place, so that each call has one home.
#pragma once
#include <windows.h>
#include "core/state.h"

namespace orvane::options_links {

// Arms timer 10 of the main window for the next AutoSync or AutoCheck.
void arm_auto_timer(chronobel_state& state);
// Saves the settings and the start-up registration.
void save_settings_and_startup(chronobel_state& state);
// Starts the program again with administrative rights.
void relaunch_elevated(chronobel_state& state);
// Opens "ReadMe.htm" of the program directory.
void open_readme(chronobel_state& state, HWND owner);

}  // namespace orvane::options_links
