// The main window: dialog 1700 of class "Chronobel", its commands and popup
// menu, its tray icon and the AutoSync/AutoCheck timer.
#pragma once
#include <windows.h>
#include "core/state.h"

namespace orvane {

// What the window's deferred start-up runs; the program's entry sets it, as
// starting the worker belongs to the program, above the windows.
using worker_starter = void (*)(chronobel_state& state);
void set_worker_starter(worker_starter starter);

LRESULT CALLBACK main_wnd_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
// The message loop asks this before the dialog manager: true when `message`
// was a key of the main window that it has handled (Escape).
bool handle_main_window_key(HWND window, const MSG& message);

// Gives `window` its view (owned by the state), through which background
// threads write its controls.
void attach_main_window(chronobel_state& state, HWND window);

// WM_COMMAND; `command` is the whole wParam. 1 when handled.
LRESULT on_command(HWND window, chronobel_state& state, WPARAM command);
// The popup menu at the cursor, built anew each time.
void show_popup_menu(HWND window, const chronobel_state& state);
// Every way out: the worker stops the built-in servers and then asks the
// window to go; the window's end saves the settings.
void end_program(HWND window, chronobel_state& state);
// "Transparent" and "On Top" as the settings say.
void apply_window_look(HWND window, const chronobel_state& state);

// Timer 10: (re)armed for the next automatic operation, and its firing.
constexpr UINT_PTR auto_timer_id = 10;
void arm_auto_timer(HWND window, chronobel_state& state);
void on_auto_timer_fired(HWND window, chronobel_state& state);

// The tray: hiding the window behind the icon, and the icon's messages.
void minimise_to_tray(HWND window, chronobel_state& state);
void tray_callback(HWND window, chronobel_state& state, WPARAM icon_id, LPARAM mouse_message);
// The tray icon of the look in force: in sync, stale or failing.
HICON current_tray_icon(const chronobel_state& state);
// The look changed or notices wait: the icon follows, and each notice shows
// as a balloon while the icon is there and balloons are on.
void show_health(HWND window, chronobel_state& state);

}  // namespace orvane
