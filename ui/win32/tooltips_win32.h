// Tooltips of the program's dialogs, all carried by the one tooltip window of
// the state. Each control gets one tool, added the first time it is given a
// text; later texts replace that tool's text.
#pragma once
#include <windows.h>
#include <string_view>
#include "core/state.h"
#include "ui/text_table.h"

namespace orvane {

// Control `control_id` of `dialog` shows `text` as its tooltip.
void add_tooltip(int control_id, std::string_view text, const chronobel_state& state, HWND dialog);
// One tooltip per pair of `table`, with that pair's UI string.
void add_tooltips(const chronobel_state& state, HWND dialog, const ui_text_pair* table);
// Takes the tooltip of control `control_id` away again: the tooltip window
// outlives the controls of a dialog that closes.
void remove_tooltip(int control_id, const chronobel_state& state, HWND dialog);

}  // namespace orvane
