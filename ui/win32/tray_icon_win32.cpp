#include "ui/win32/tray_icon_win32.h"
#include <atomic>
#include <cstring>

namespace orvane {

// The full current layout of NOTIFYICONDATAA.
static_assert(sizeof(NOTIFYICONDATAA) == 508);

namespace {

std::atomic<notify_icon_observer> observer{nullptr};

NOTIFYICONDATAA icon_data(HWND window, HICON icon) {
    NOTIFYICONDATAA data{};
    data.cbSize = sizeof data;
    data.hWnd = window;
    data.uID = 0;
    data.uCallbackMessage = tray_callback_message;
    data.hIcon = icon;
    data.uVersion = NOTIFYICON_VERSION;
    data.uFlags = NIF_ICON;
    return data;
}

bool call_shell(DWORD operation, NOTIFYICONDATAA& data) {
    if (const notify_icon_observer see = observer.load()) see(operation, data);
    return Shell_NotifyIconA(operation, &data) != FALSE;
}

}  // namespace

void set_notify_icon_observer(notify_icon_observer see) { observer = see; }

bool notify_icon(HWND window, HICON icon, const char* tip, DWORD operation) {
    NOTIFYICONDATAA data = icon_data(window, icon);
    if (tip) {
        data.uFlags |= NIF_MESSAGE | NIF_TIP;
        std::strncpy(data.szTip, tip, sizeof data.szTip - 1);
    }
    return call_shell(operation, data);
}

bool notify_balloon(HWND window, HICON icon, const char* title, const char* text, DWORD kind) {
    NOTIFYICONDATAA data = icon_data(window, icon);
    data.uFlags |= NIF_INFO;
    std::strncpy(data.szInfoTitle, title, sizeof data.szInfoTitle - 1);
    std::strncpy(data.szInfo, text, sizeof data.szInfo - 1);
    data.dwInfoFlags = kind;
    return call_shell(NIM_MODIFY, data);
}

}  // namespace orvane
