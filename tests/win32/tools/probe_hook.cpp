// Loaded by Windows into Chronobel.exe when the window probe hooks its window
// thread: when a popup menu opens there, its items are written into memory
// that the probe reads, since another process cannot read a menu; and the
// program's calls of Shell_NotifyIconA are recorded there the same way,
// since nobody can ask the shell what an icon looks like.
#include <windows.h>
#include <shellapi.h>
#include <cstdio>
#include <cstring>
#include <string>
#include "icon_pixel.h"

namespace {

constexpr DWORD report_size = 8192;

void report_menu(HMENU menu) {
    std::string text;
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        char label[200] = {};
        GetMenuStringA(menu, static_cast<UINT>(i), label, sizeof label, MF_BYPOSITION);
        const UINT state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
        char line[300];
        std::snprintf(line, sizeof line, "%d\t%s\t%s\n", static_cast<int>(GetMenuItemID(menu, i)),
                      (state & MF_SEPARATOR) ? "separator" : (state & MF_CHECKED) ? "checked" : "-", label);
        text += line;
    }
    HANDLE mapping = OpenFileMappingW(FILE_MAP_WRITE, FALSE, L"Local\\ChronobelProbeMenu");
    if (!mapping) return;
    if (void* view = MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, report_size)) {
        lstrcpynA(static_cast<char*>(view), text.c_str(), report_size);
        UnmapViewOfFile(view);
    }
    CloseHandle(mapping);
    if (HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, L"Local\\ChronobelProbeMenuReady")) {
        SetEvent(ready);
        CloseHandle(ready);
    }
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK menu_hook(int code, WPARAM wparam, LPARAM lparam) {
    if (code == HC_ACTION) {
        const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lparam);
        if (sent->message == WM_INITMENUPOPUP) report_menu(reinterpret_cast<HMENU>(sent->wParam));
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

namespace {

constexpr DWORD tray_report_size = 8192;
using notify_function = BOOL(WINAPI*)(DWORD, PNOTIFYICONDATAA);
notify_function g_real_notify = nullptr;

// The look of a tray icon by the pixel inside the corner mark of the
// program's other looks: red, amber, or neither.
const char* look_of(HICON icon) {
    if (!icon) return "none";
    const COLORREF colour = icon_pixel(icon, icon_mark_x, icon_mark_y);
    if (colour == icon_mark_failing) return "failing";
    if (colour == icon_mark_stale) return "stale";
    return "in-sync";
}

// One line per call: the operation, the icon's look when one is given, and
// the balloon's text when there is one.
void report_tray_call(DWORD operation, const NOTIFYICONDATAA* data) {
    const char* names[] = {"add", "modify", "delete"};
    char line[400];
    std::snprintf(line, sizeof line, "%s\t%s\t%s\n", operation < 3 ? names[operation] : "other",
                  (data->uFlags & NIF_ICON) ? look_of(data->hIcon) : "-",
                  (data->uFlags & NIF_INFO) ? data->szInfo : "-");
    HANDLE mapping = OpenFileMappingW(FILE_MAP_WRITE, FALSE, L"Local\\ChronobelProbeTray");
    if (!mapping) return;
    if (auto* view = static_cast<char*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, tray_report_size))) {
        const std::size_t used = strnlen(view, tray_report_size);
        if (used + std::strlen(line) < tray_report_size) std::memcpy(view + used, line, std::strlen(line) + 1);
        UnmapViewOfFile(view);
    }
    CloseHandle(mapping);
}

BOOL WINAPI recording_notify(DWORD operation, PNOTIFYICONDATAA data) {
    report_tray_call(operation, data);
    return g_real_notify(operation, data);
}

// Points the program's import of Shell_NotifyIconA at the recorder. The
// module stays loaded for good, as the program calls into it from then on.
void record_tray_calls() {
    if (g_real_notify) return;
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&recording_notify), &self);
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
    const FARPROC real = GetProcAddress(GetModuleHandleW(L"shell32.dll"), "Shell_NotifyIconA");
    if (!real) return;
    g_real_notify = reinterpret_cast<notify_function>(reinterpret_cast<void*>(real));
    const auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0) return;
    for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); d->Name; ++d) {
        for (auto* thunk = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk); thunk->u1.Function; ++thunk) {
            if (thunk->u1.Function != reinterpret_cast<ULONG_PTR>(real)) continue;
            DWORD protection = 0;
            VirtualProtect(&thunk->u1.Function, sizeof thunk->u1.Function, PAGE_READWRITE, &protection);
            thunk->u1.Function = reinterpret_cast<ULONG_PTR>(&recording_notify);
            VirtualProtect(&thunk->u1.Function, sizeof thunk->u1.Function, protection, &protection);
        }
    }
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK tray_hook(int code, WPARAM wparam, LPARAM lparam) {
    if (code == HC_ACTION) record_tray_calls();
    return CallNextHookEx(nullptr, code, wparam, lparam);
}
