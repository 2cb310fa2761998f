// Starting the program again with administrative rights.
#pragma once
#include <windows.h>
#include "core/state.h"

namespace orvane {

// Saves the settings for the new instance, then starts program_dir +
// exe_name with the verb "runas". When it started, asks `window` to end the
// program (the orderly Exit) and returns true; when it did not (the user
// declined), nothing else happens.
bool relaunch_elevated(chronobel_state& state, HWND window);

}  // namespace orvane
