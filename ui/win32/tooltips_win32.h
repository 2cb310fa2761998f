// Tooltips of the program's windows. Each top-level window (the main window,
// a dialog, the options sheet) carries a tooltip window of its own, which
// ends with it: closing the window takes its tooltip window and every tool, and
// the tips are topmost only while their window is, so that none stays over
// another program's window. Each control gets one tool, added the first time
// it is given a text; later texts replace that tool's text.
#pragma once
#include <windows.h>
#include <string_view>
#include "core/state.h"
#include "ui/text_table.h"

namespace orvane {

// Control `control_id` of `dialog` (or of a page within it) shows `text` as its tooltip.
void add_tooltip(int control_id, std::string_view text, const chronobel_state& state, HWND dialog);
// One tooltip per pair of `table`, with that pair's UI string.
void add_tooltips(const chronobel_state& state, HWND dialog, const ui_text_pair* table);
// The tooltip window of the top-level window that holds `window`; null
// while none of its controls has a tooltip.
HWND tooltip_window_of(HWND window);

}  // namespace orvane
