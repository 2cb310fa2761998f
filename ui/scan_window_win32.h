// The server scan window, class "ChronobelScan".
#pragma once
#include <windows.h>

namespace orvane {

LRESULT CALLBACK scan_wnd_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

}  // namespace orvane
