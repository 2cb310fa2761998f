// Looks at Chronobel's main window from outside, as a person would:
//   window_probe [--program PATH] VERB ...
// With --program, only the window of a process started from PATH (a Windows
// path) counts: tests that run side by side then never touch each other's
// program.
//   window_probe wait SECONDS     waits for a window of class "Chronobel" and
//                                 prints its title
//   window_probe shown SECONDS    the same, and waits until it is shown
//   window_probe list             one line per control: id, class, style (hex),
//                                 text, tab-separated
//   window_probe state            prints "hidden", "minimised" or "normal"
//   window_probe command ID       posts WM_COMMAND ID to the window
//   window_probe close            posts WM_CLOSE to the window
//   window_probe post MSG W L      posts message MSG (wParam W, lParam L)
//   window_probe minimise         minimises the window as its button would
//   window_probe tray             prints "icon" or "no icon": whether the
//                                 window has its tray icon
//   window_probe look             prints "layered" and/or "topmost" (or "plain")
//   window_probe menu HOW [MS]    opens the popup menu by HOW ("click": a right
//                                 click in the window, "key": the context-menu
//                                 key, "tray": a right click on the tray icon),
//                                 prints one line per item: id, "checked",
//                                 "separator" or "-", text; then closes it
//                                 (after MS milliseconds)
//   window_probe key VK[+VK...]   brings the window to the front and types the
//                                 keys (decimal virtual-key codes) as one
//                                 stroke: the first ones held, e.g. 16+9 for
//                                 Shift+Tab
//   window_probe focus            prints the id of the control that has the
//                                 keyboard focus ("none" when no control has it)
//   window_probe traycalls S TEXT records the program's tray calls (hooked
//                                 into it) until one line holds TEXT or S
//                                 seconds pass (and a second more, for the
//                                 calls made with it): prints "hooked" once it
//                                 records, then one line per call: operation,
//                                 the icon's look ("in-sync", "stale",
//                                 "failing", "-" without an icon), the
//                                 balloon's text ("-" without one); exit 1
//                                 when TEXT never came
//   window_probe rects TITLE [S]  waits up to S seconds (default 30) for the
//                                 program's shown window titled TITLE (a dialog
//                                 too), then prints one line per control: id,
//                                 left, top, right, bottom in its client area
// Exit code 0 on success, 1 when there is no such window, 2 on bad usage.
#include <windows.h>
#include <shellapi.h>
#include <cstdio>
#include <cwchar>
#include <algorithm>
#include <string>
#include <vector>

namespace {

const wchar_t main_window_class[] = L"Chronobel";
// The program whose window counts; empty: any.
std::wstring g_program;

std::string utf8(const std::wstring& text) {
    if (text.empty()) return {};
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                   nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

std::wstring text_of(HWND window) {
    wchar_t buffer[512] = {};
    DWORD_PTR length = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, std::size(buffer), reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG,
                        5000, &length);
    return std::wstring(buffer, wcsnlen(buffer, std::size(buffer)));
}

std::wstring class_of(HWND window) {
    wchar_t buffer[256] = {};
    GetClassNameW(window, buffer, static_cast<int>(std::size(buffer)));
    return buffer;
}

// A control made from a resource (an icon) holds the resource's ordinal as
// its text: shown as "#number".
std::string shown_text(const std::wstring& text) {
    if (text.size() == 2 && text[0] == 0xFFFF) {
        char ordinal[16];
        std::snprintf(ordinal, sizeof ordinal, "#%u", static_cast<unsigned>(text[1]));
        return ordinal;
    }
    return utf8(text);
}

BOOL CALLBACK print_control(HWND control, LPARAM) {
    std::printf("%d\t%s\t%08lx\t%s\n", GetDlgCtrlID(control), utf8(class_of(control)).c_str(),
                static_cast<unsigned long>(GetWindowLongW(control, GWL_STYLE)), shown_text(text_of(control)).c_str());
    return TRUE;
}

std::wstring image_of(DWORD process_id) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id);
    if (!process) return {};
    wchar_t path[1024] = {};
    DWORD size = std::size(path);
    const BOOL ok = QueryFullProcessImageNameW(process, 0, path, &size);
    CloseHandle(process);
    return ok ? std::wstring(path, size) : std::wstring();
}

bool of_the_program(HWND window) {
    DWORD process_id = 0;
    GetWindowThreadProcessId(window, &process_id);
    return g_program.empty() || _wcsicmp(image_of(process_id).c_str(), g_program.c_str()) == 0;
}

BOOL CALLBACK pick_window(HWND window, LPARAM found) {
    if (_wcsicmp(class_of(window).c_str(), main_window_class) != 0) return TRUE;
    if (!of_the_program(window)) return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

// The visible top-level window of the program with this title.
struct titled_window {
    const wchar_t* title;
    HWND found;
};

BOOL CALLBACK pick_titled(HWND window, LPARAM search) {
    auto* wanted = reinterpret_cast<titled_window*>(search);
    if (!IsWindowVisible(window) || text_of(window) != wanted->title) return TRUE;
    if (!of_the_program(window)) return TRUE;
    wanted->found = window;
    return FALSE;
}

BOOL CALLBACK print_place(HWND control, LPARAM dialog) {
    RECT place{};
    GetWindowRect(control, &place);
    MapWindowPoints(nullptr, reinterpret_cast<HWND>(dialog), reinterpret_cast<POINT*>(&place), 2);
    std::printf("%d\t%ld\t%ld\t%ld\t%ld\n", GetDlgCtrlID(control), place.left, place.top, place.right, place.bottom);
    return TRUE;
}

int print_places(const wchar_t* title, int seconds) {
    titled_window search{title, nullptr};
    for (int waited_ms = 0; !search.found && waited_ms <= seconds * 1000; waited_ms += 200) {
        EnumWindows(pick_titled, reinterpret_cast<LPARAM>(&search));
        if (!search.found) Sleep(200);
    }
    if (!search.found) return 1;
    EnumChildWindows(search.found, print_place, reinterpret_cast<LPARAM>(search.found));
    std::fflush(stdout);
    return 0;
}

HWND find_main_window() {
    HWND found = nullptr;
    EnumWindows(pick_window, reinterpret_cast<LPARAM>(&found));
    return found;
}

int wait_for_window(int seconds, bool shown) {
    for (int waited_ms = 0; waited_ms <= seconds * 1000; waited_ms += 200) {
        if (HWND window = find_main_window(); window && (!shown || IsWindowVisible(window))) {
            std::printf("%s\n", utf8(text_of(window)).c_str());
            return 0;
        }
        Sleep(200);
    }
    return 1;
}

bool has_tray_icon(HWND window) {
    // Changing nothing succeeds only for an icon that exists.
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window;
    data.uID = 0;
    return Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

void press(WORD key, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &input, sizeof input);
}

// Keys joined by '+', pressed in order and let go in reverse.
void type_keys(HWND window, const std::wstring& keys) {
    std::vector<WORD> codes;
    for (std::size_t at = 0; at <= keys.size();) {
        const std::size_t plus = std::min(keys.find(L'+', at), keys.size());
        codes.push_back(static_cast<WORD>(_wtoi(keys.substr(at, plus - at).c_str())));
        at = plus + 1;
    }
    SetForegroundWindow(window);
    Sleep(300);
    for (WORD code : codes) press(code, false);
    for (auto code = codes.rbegin(); code != codes.rend(); ++code) press(*code, true);
}

// The focus belongs to the window's thread; another process asks for it.
void print_focus(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    const bool known = GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) && info.hwndFocus &&
                       IsChild(window, info.hwndFocus);
    if (known)
        std::printf("%d\n", GetDlgCtrlID(info.hwndFocus));
    else
        std::printf("none\n");
}

void right_click_at(int x, int y) {
    SetCursorPos(x, y);
    INPUT clicks[2]{};
    clicks[0].type = clicks[1].type = INPUT_MOUSE;
    clicks[0].mi.dwFlags = MOUSEEVENTF_RIGHTDOWN;
    clicks[1].mi.dwFlags = MOUSEEVENTF_RIGHTUP;
    SendInput(2, clicks, sizeof clicks[0]);
}

void open_menu(HWND window, const std::wstring& how) {
    if (how == L"tray") {
        PostMessageW(window, WM_USER + 5, 0, WM_RBUTTONUP);
        return;
    }
    SetForegroundWindow(window);
    Sleep(300);
    if (how == L"key") {
        press(VK_APPS, false);
        press(VK_APPS, true);
        return;
    }
    // The window's own client area, right of the computer name.
    RECT area{};
    GetClientRect(window, &area);
    POINT at{area.right - 8, area.top + 4};
    ClientToScreen(window, &at);
    right_click_at(at.x, at.y);
}

// Another process cannot read a menu: a hook in the program's window thread
// reports it when it opens.
int read_menu(HWND window, const std::wstring& how, DWORD hold_ms) {
    constexpr DWORD report_size = 8192;
    HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, report_size,
                                        L"Local\\ChronobelProbeMenu");
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, L"Local\\ChronobelProbeMenuReady");
    HMODULE hook_module = LoadLibraryW(L"window_probe_hook.dll");
    auto hook_proc = reinterpret_cast<HOOKPROC>(
        reinterpret_cast<void*>(hook_module ? GetProcAddress(hook_module, "menu_hook") : nullptr));
    if (!mapping || !ready || !hook_proc) {
        std::fprintf(stderr, "window_probe: no menu hook\n");
        return 1;
    }
    HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, hook_proc, hook_module, GetWindowThreadProcessId(window, nullptr));
    open_menu(window, how);
    const bool opened = WaitForSingleObject(ready, 10'000) == WAIT_OBJECT_0;
    UnhookWindowsHookEx(hook);
    if (opened) {
        if (const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, report_size)) {
            std::printf("%s", static_cast<const char*>(view));
            UnmapViewOfFile(view);
        }
    }
    std::fflush(stdout);
    Sleep(hold_ms);
    // Close the menu again.
    for (int tries = 0; tries < 50; ++tries) {
        HWND menu = FindWindowW(L"#32768", nullptr);
        if (menu && IsWindowVisible(menu)) {
            PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
            PostMessageW(window, WM_CANCELMODE, 0, 0);
            break;
        }
        Sleep(100);
    }
    CloseHandle(ready);
    CloseHandle(mapping);
    return opened ? 0 : 1;
}

// The program's tray calls, through the hook's recorder.
int record_tray_calls(HWND window, int seconds, const std::wstring& until) {
    constexpr DWORD report_size = 8192;
    HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, report_size,
                                        L"Local\\ChronobelProbeTray");
    HMODULE hook_module = LoadLibraryW(L"window_probe_hook.dll");
    auto hook_proc = reinterpret_cast<HOOKPROC>(
        reinterpret_cast<void*>(hook_module ? GetProcAddress(hook_module, "tray_hook") : nullptr));
    const char* view = mapping ? static_cast<const char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, report_size))
                               : nullptr;
    if (!view || !hook_proc) {
        std::fprintf(stderr, "window_probe: no tray hook\n");
        return 1;
    }
    HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, hook_proc, hook_module, GetWindowThreadProcessId(window, nullptr));
    // A sent message runs the hook in the window's thread, which starts recording.
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
    std::printf("hooked\n");
    std::fflush(stdout);
    const std::string wanted = utf8(until);
    bool found = false;
    for (int waited_ms = 0; !found && waited_ms <= seconds * 1000; waited_ms += 200) {
        found = std::string(view, strnlen(view, report_size)).find(wanted) != std::string::npos;
        if (!found) Sleep(200);
    }
    // Calls made together with the one awaited (a balloon after its icon) are in too.
    if (found) Sleep(1000);
    UnhookWindowsHookEx(hook);
    std::printf("%s", std::string(view, strnlen(view, report_size)).c_str());
    std::fflush(stdout);
    UnmapViewOfFile(view);
    CloseHandle(mapping);
    return found ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc > 2 && std::wstring(argv[1]) == L"--program") {
        g_program = argv[2];
        argc -= 2;
        argv += 2;
    }
    if (argc < 2) return 2;
    const std::wstring verb = argv[1];
    if (verb == L"wait" || verb == L"shown") return wait_for_window(argc > 2 ? _wtoi(argv[2]) : 30, verb == L"shown");
    if (verb == L"rects" && argc > 2) return print_places(argv[2], argc > 3 ? _wtoi(argv[3]) : 30);
    HWND window = find_main_window();
    if (!window) return 1;
    if (verb == L"list") {
        EnumChildWindows(window, print_control, 0);
    } else if (verb == L"state") {
        std::printf("%s\n", !IsWindowVisible(window) ? "hidden" : IsIconic(window) ? "minimised" : "normal");
    } else if (verb == L"command" && argc > 2) {
        PostMessageW(window, WM_COMMAND, static_cast<WPARAM>(_wtoi(argv[2])), 0);
    } else if (verb == L"close") {
        PostMessageW(window, WM_CLOSE, 0, 0);
    } else if (verb == L"post" && argc > 4) {
        PostMessageW(window, static_cast<UINT>(_wtoi(argv[2])), static_cast<WPARAM>(_wtoi(argv[3])), _wtoi(argv[4]));
    } else if (verb == L"minimise") {
        ShowWindow(window, SW_MINIMIZE);
    } else if (verb == L"tray") {
        std::printf("%s\n", has_tray_icon(window) ? "icon" : "no icon");
    } else if (verb == L"look") {
        const LONG ex_style = GetWindowLongW(window, GWL_EXSTYLE);
        std::printf("%s%s%s\n", (ex_style & WS_EX_LAYERED) ? "layered " : "", (ex_style & WS_EX_TOPMOST) ? "topmost" : "",
                    (ex_style & (WS_EX_LAYERED | WS_EX_TOPMOST)) ? "" : "plain");
    } else if (verb == L"key" && argc > 2) {
        type_keys(window, argv[2]);
    } else if (verb == L"focus") {
        print_focus(window);
    } else if (verb == L"traycalls" && argc > 3) {
        return record_tray_calls(window, _wtoi(argv[2]), argv[3]);
    } else if (verb == L"menu" && argc > 2) {
        const int result = read_menu(window, argv[2], argc > 3 ? static_cast<DWORD>(_wtoi(argv[3])) : 0);
        std::fflush(stdout);
        return result;
    } else {
        return 2;
    }
    std::fflush(stdout);
    return 0;
}
