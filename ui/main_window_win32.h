// The main window (dialog 1700 of class "Chronobel"), the server scan
// window's class procedure, and the tooltips of the program's dialogs.
#pragma once
#include <windows.h>
#include <string_view>
#include "core/main_view.h"
#include "core/state.h"
#include "ui/text_table.h"

namespace orvane {

// What the window's deferred start-up runs; the program's entry sets it, as
// starting the worker belongs to the program, above the windows.
using worker_starter = void (*)(chronobel_state& state);
void set_worker_starter(worker_starter starter);

LRESULT CALLBACK main_wnd_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT CALLBACK scan_wnd_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Registers `text` as the tooltip of control `control_id` of `dialog` with the
// program's one tooltip window. Tools are never removed: a control that gets
// a new text gets one more tool.
void add_tooltip(int control_id, const char* text, const chronobel_state& state, HWND dialog);
// One tooltip per pair of `table`, with that pair's UI string.
void add_tooltips(const chronobel_state& state, HWND dialog, const ui_text_pair* table);

// The main window as background threads see it. Texts are 8-bit, as the
// program's UI strings are.
class win32_main_view final : public main_view {
public:
    win32_main_view(const chronobel_state& state, HWND window) : state_(state), window_(window) {}

    void set_text(int control, std::string_view text) override;
    void enable(int control, bool enabled) override;
    void set_tooltip(int control, std::string_view text) override;
    void set_title(std::string_view text) override;
    void post_command(int command) override;

private:
    const chronobel_state& state_;
    HWND window_;
};

}  // namespace orvane
