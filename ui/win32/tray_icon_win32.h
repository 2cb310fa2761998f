// The tray icon: one call of Shell_NotifyIconA.
#pragma once
#include <windows.h>
#include <shellapi.h>
#include <string_view>

namespace orvane {

// The message the tray icon sends to the main window.
constexpr UINT tray_callback_message = WM_USER + 5;

// Adds (NIM_ADD), changes (NIM_MODIFY) or removes (NIM_DELETE) icon 0 of
// `window`. With a tip (cut to 127 characters) the icon also calls back;
// without one only the icon is given. False when the shell refused.
bool notify_icon(HWND window, HICON icon, const char* tip, DWORD operation);
// Shows a balloon over icon 0 of `window` (NIF_INFO): `title` and `text`
// (cut to 63 and 255 characters), NIIF_INFO or NIIF_WARNING in `kind`.
bool notify_balloon(HWND window, HICON icon, const char* title, const char* text, DWORD kind);

// Test seam: sees every call's operation and data before the shell does
// (null: none).
using notify_icon_observer = void (*)(DWORD operation, const NOTIFYICONDATAA& data);
void set_notify_icon_observer(notify_icon_observer observer);

}  // namespace orvane
