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
// Exit code 0 on success, 1 when there is no such window, 2 on bad usage.
#include <windows.h>
#include <cstdio>
#include <cwchar>
#include <string>

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

BOOL CALLBACK pick_window(HWND window, LPARAM found) {
    if (_wcsicmp(class_of(window).c_str(), main_window_class) != 0) return TRUE;
    DWORD process_id = 0;
    GetWindowThreadProcessId(window, &process_id);
    if (!g_program.empty() && _wcsicmp(image_of(process_id).c_str(), g_program.c_str()) != 0) return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
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
    } else {
        return 2;
    }
    std::fflush(stdout);
    return 0;
}
