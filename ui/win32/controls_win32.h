// A thin layer over the controls of the program's dialogs: texts from the UI
// string table, check boxes, enabling, and caption tables.
#pragma once
#include <windows.h>
#include <string>
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

// Places in a dialog's client area, in pixels. A place the code chooses is
// given in dialog units and converted, so that it scales with the dialog's
// font and the screen's DPI as the template's controls do.
RECT dialog_units_to_pixels(HWND dialog, RECT units);
RECT control_place(HWND dialog, int control);
void move_control(HWND dialog, int control, const RECT& place);
// How wide `text` is drawn in the font of control `control`, in pixels.
int text_width(HWND dialog, int control, const std::wstring& text);

}  // namespace orvane
