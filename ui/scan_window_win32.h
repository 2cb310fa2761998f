// The server scan window, class "ChronobelScan".
#pragma once
#include <windows.h>
#include "core/state.h"

namespace orvane {

// Opens a scan window, owned by `owner`: it lists every server of the list
// with its TIME and SNTP response times as they are measured, and its title
// says when the scan has finished. Closing it ends the scan at once.
void open_scan_window(chronobel_state& state, HWND owner);

LRESULT CALLBACK scan_wnd_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

}  // namespace orvane
