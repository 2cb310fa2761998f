// The About dialog (1025): the program's name and where its files are, with
// a button that opens both folders.
#pragma once
#include <windows.h>
#include "core/state.h"

namespace orvane {

// Shows the dialog modally over `owner` until Close ends it. Returns 1 when
// Close ended it, -1 when it could not open.
int show_about_dialog(HWND owner, chronobel_state& state);

}  // namespace orvane
