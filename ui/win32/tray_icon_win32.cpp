#include "ui/win32/tray_icon_win32.h"
#include <cstring>

namespace orvane {

// The full current layout of NOTIFYICONDATAA.
static_assert(sizeof(NOTIFYICONDATAA) == 508);

bool notify_icon(HWND window, HICON icon, const char* tip, DWORD operation) {
    NOTIFYICONDATAA data{};
    data.cbSize = sizeof data;
    data.hWnd = window;
    data.uID = 0;
    data.uCallbackMessage = tray_callback_message;
    data.hIcon = icon;
    data.uVersion = NOTIFYICON_VERSION;
    data.uFlags = NIF_ICON;
    if (tip) {
        data.uFlags |= NIF_MESSAGE | NIF_TIP;
        std::strncpy(data.szTip, tip, sizeof data.szTip - 1);
    }
    return Shell_NotifyIconA(operation, &data) != FALSE;
}

}  // namespace orvane
