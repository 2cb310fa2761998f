// A thin layer over the controls of the program's dialogs: texts from the UI
// string table, check boxes, enabling, and caption tables.
#pragma once
#include <windows.h>
#include <string_view>
#include "core/state.h"
#include "ui/text_table.h"

namespace orvane {

// Control `control` of `dialog` shows `text` (8-bit, as the UI strings are).
void set_control_text(HWND dialog, int control, std::string_view text);
// The same with UI string `ui_string`.
void set_control_ui_text(const chronobel_state& state, HWND dialog, int control, text_id ui_string);
// One caption per pair of `table`, up to the end marker.
void apply_captions(const chronobel_state& state, HWND dialog, const ui_text_pair* table);

void set_checked(HWND dialog, int control, bool checked);
bool is_checked(HWND dialog, int control);
void enable_control(HWND dialog, int control, bool enabled);

}  // namespace orvane
