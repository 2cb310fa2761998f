// The main window: dialog 1700 of class "Chronobel".
#pragma once
#include <windows.h>
#include "core/state.h"

namespace orvane {

// What the window's deferred start-up runs; the program's entry sets it, as
// starting the worker belongs to the program, above the windows.
using worker_starter = void (*)(chronobel_state& state);
void set_worker_starter(worker_starter starter);

LRESULT CALLBACK main_wnd_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Gives `window` its view (owned by the state), through which background
// threads write its controls.
void attach_main_window(chronobel_state& state, HWND window);

}  // namespace orvane
