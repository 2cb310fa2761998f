// Loaded by Windows into Chronobel.exe when the window probe hooks its window
// thread: when a popup menu opens there, its items are written into memory
// that the probe reads, since another process cannot read a menu.
#include <windows.h>
#include <cstdio>
#include <string>

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
