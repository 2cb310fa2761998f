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

}  // namespace orvane
