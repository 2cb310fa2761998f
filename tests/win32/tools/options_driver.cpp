// Drives Chronobel's options sheet and scan window from outside, as a person
// would, reading one command per line from standard input (so that one Wine
// start serves a whole scenario). Prints what the commands read; a command
// that fails prints "FAIL: ..." and ends the run with exit code 1.
//   command ID               posts WM_COMMAND ID to the main window
//   wait-sheet SECONDS       waits until the sheet is shown
//   wait-no-sheet SECONDS    waits until it has gone
//   sheets                   prints how many sheets are open
//   page INDEX               switches to page INDEX (the page left is written back)
//   type ID TEXT             puts TEXT into control ID of the current page
//   set-check ID 0|1         sets a check box or radio button without a click
//   select ID N              selects item N of a list
//   click ID                 clicks control ID (a check box toggles first)
//   post-click ID            the same without waiting (for a click that asks)
//   answer TITLE ok|cancel SECONDS   answers the message box titled TITLE
//   message TITLE SECONDS    prints that message box's default button
//                            ("default\tID") and its text ("text\t...")
//   show ID                  prints: id, enabled, checked, selection, text
//   controls                 prints id and enabled of each control of the
//                            current page that is neither text nor a group box
//   ok | cancel              presses the sheet's OK or Cancel button
//   wait-window CLASS "TITLE" SECONDS  waits for a top-level window ("" for any title)
//   wait-gone CLASS SECONDS  waits until no window of that class is left
//   rows                     prints the scan window's rows, cells tab-separated
//   close-window CLASS       posts WM_CLOSE to that window
//   kill-window CLASS        ends the process that owns that window (by its id)
//   sleep MS
#include <windows.h>
#include <commctrl.h>
#include <cstdio>
#include <iomanip>
#include <iostream>
#include <sstream>
#include <string>

namespace {

std::string narrow(const std::wstring& text) {
    if (text.empty()) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

std::wstring wide(const std::string& text) {
    if (text.empty()) return {};
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), size);
    return out;
}

std::string text_of(HWND window) {
    wchar_t buffer[512] = {};
    DWORD_PTR length = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, std::size(buffer), reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG,
                        10000, &length);
    return narrow(buffer);
}

struct failure {
    std::string what;
};

[[noreturn]] void fail(const std::string& what) { throw failure{what}; }

HWND main_window() { return FindWindowW(L"Chronobel", nullptr); }

// The sheet: a dialog titled "Chronobel" owned by the main window.
HWND find_sheet() {
    HWND main = main_window();
    for (HWND w = FindWindowExW(nullptr, nullptr, L"#32770", nullptr); w; w = FindWindowExW(nullptr, w, L"#32770", nullptr))
        if (GetWindow(w, GW_OWNER) == main && text_of(w) == "Chronobel") return w;
    return nullptr;
}

int count_sheets() {
    int count = 0;
    HWND main = main_window();
    for (HWND w = FindWindowExW(nullptr, nullptr, L"#32770", nullptr); w; w = FindWindowExW(nullptr, w, L"#32770", nullptr))
        if (GetWindow(w, GW_OWNER) == main && IsWindowVisible(w)) ++count;
    return count;
}

HWND sheet() {
    HWND s = find_sheet();
    if (!s) fail("no options sheet");
    return s;
}

HWND current_page() {
    DWORD_PTR page = 0;
    SendMessageTimeoutW(sheet(), PSM_GETCURRENTPAGEHWND, 0, 0, SMTO_ABORTIFHUNG, 10000, &page);
    if (!page) fail("no current page");
    return reinterpret_cast<HWND>(page);
}

HWND control(int id) {
    HWND c = GetDlgItem(current_page(), id);
    if (!c) fail("no control " + std::to_string(id) + " on this page");
    return c;
}

// What a wait for something to go returns once it has gone.
const HWND gone = reinterpret_cast<HWND>(1);

template <typename Found>
HWND wait_for(int seconds, Found found) {
    for (int waited = 0; waited <= seconds * 10; ++waited) {
        if (HWND w = found()) return w;
        Sleep(100);
    }
    return nullptr;
}

LRESULT send(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wparam, lparam, SMTO_NORMAL, 30000, &result))
        fail("no answer to message " + std::to_string(message));
    return static_cast<LRESULT>(result);
}

// A click as the button itself would report it, the check box toggled first.
void click(int id, bool wait) {
    HWND c = control(id);
    const LONG kind = GetWindowLongW(c, GWL_STYLE) & BS_TYPEMASK;
    if (kind == BS_AUTOCHECKBOX) send(c, BM_SETCHECK, send(c, BM_GETCHECK, 0, 0) == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED, 0);
    if (kind == BS_AUTORADIOBUTTON) {
        for (HWND other = GetWindow(c, GW_HWNDFIRST); other; other = GetWindow(other, GW_HWNDNEXT))
            if ((GetWindowLongW(other, GWL_STYLE) & BS_TYPEMASK) == BS_AUTORADIOBUTTON) send(other, BM_SETCHECK, 0, 0);
        send(c, BM_SETCHECK, BST_CHECKED, 0);
    }
    const WPARAM command = MAKEWPARAM(id, BN_CLICKED);
    if (wait)
        send(current_page(), WM_COMMAND, command, reinterpret_cast<LPARAM>(c));
    else
        PostMessageW(current_page(), WM_COMMAND, command, reinterpret_cast<LPARAM>(c));
}

HWND find_window(const std::wstring& class_name, const std::string& title) {
    for (HWND w = FindWindowExW(nullptr, nullptr, class_name.c_str(), nullptr); w;
         w = FindWindowExW(nullptr, w, class_name.c_str(), nullptr))
        if (title.empty() || text_of(w) == title) return w;
    return nullptr;
}

// The list view lives in the program's process: its items are read through
// memory of that process.
void print_rows() {
    HWND scan = FindWindowW(L"ChronobelScan", nullptr);
    if (!scan) fail("no scan window");
    HWND list = FindWindowExW(scan, nullptr, WC_LISTVIEWW, nullptr);
    if (!list) fail("no list in the scan window");
    DWORD pid = 0;
    GetWindowThreadProcessId(list, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (!process) fail("cannot open the program's process");
    constexpr SIZE_T text_size = 256;
    auto* remote = static_cast<char*>(
        VirtualAllocEx(process, nullptr, sizeof(LVITEMA) + text_size, MEM_COMMIT, PAGE_READWRITE));
    const int rows = static_cast<int>(send(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows; ++row) {
        std::string line;
        for (int column = 0; column < 4; ++column) {
            LVITEMA item{};
            item.iSubItem = column;
            item.pszText = remote + sizeof(LVITEMA);
            item.cchTextMax = text_size;
            WriteProcessMemory(process, remote, &item, sizeof item, nullptr);
            send(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote));
            char text[text_size] = {};
            ReadProcessMemory(process, remote + sizeof(LVITEMA), text, text_size - 1, nullptr);
            if (column) line += '\t';
            line += text;
        }
        std::printf("%s\n", line.c_str());
    }
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
}

void run(const std::string& line) {
    std::istringstream words(line);
    std::string verb;
    words >> verb;
    int id = 0;
    if (verb.empty() || verb[0] == '#') return;
    if (verb == "command") {
        words >> id;
        PostMessageW(main_window(), WM_COMMAND, static_cast<WPARAM>(id), 0);
    } else if (verb == "wait-sheet" || verb == "wait-no-sheet") {
        int seconds = 30;
        words >> seconds;
        const bool present = verb == "wait-sheet";
        for (int waited = 0;; ++waited) {
            HWND s = find_sheet();
            if (present ? s && IsWindowVisible(s) : !s) break;
            if (waited > seconds * 10) fail(present ? "the sheet did not open" : "the sheet did not close");
            Sleep(100);
        }
    } else if (verb == "sheets") {
        std::printf("sheets\t%d\n", count_sheets());
    } else if (verb == "page") {
        words >> id;
        send(sheet(), PSM_SETCURSEL, static_cast<WPARAM>(id), 0);
    } else if (verb == "type") {
        words >> id;
        std::string text;
        std::getline(words >> std::ws, text);
        const std::wstring w = wide(text);
        send(control(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(w.c_str()));
    } else if (verb == "set-check") {
        int on = 0;
        words >> id >> on;
        send(control(id), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
    } else if (verb == "select") {
        int item = 0;
        words >> id >> item;
        send(control(id), CB_SETCURSEL, static_cast<WPARAM>(item), 0);
    } else if (verb == "click" || verb == "post-click") {
        words >> id;
        click(id, verb == "click");
    } else if (verb == "answer") {
        std::string title, button;
        int seconds = 30;
        words >> title >> button >> seconds;
        HWND box = wait_for(seconds, [&] { return find_window(L"#32770", title); });
        if (!box) fail("no message box titled " + title);
        PostMessageW(box, WM_COMMAND, button == "ok" ? IDOK : IDCANCEL, 0);
        if (!wait_for(seconds, [&]() -> HWND { return IsWindow(box) ? nullptr : gone; }))
            fail("the message box stayed");
    } else if (verb == "message") {
        std::string title;
        int seconds = 30;
        words >> title >> seconds;
        HWND box = wait_for(seconds, [&] { return find_window(L"#32770", title); });
        if (!box) fail("no message box titled " + title);
        for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            wchar_t kind[64] = {};
            GetClassNameW(child, kind, 64);
            const LONG style = GetWindowLongW(child, GWL_STYLE);
            if (lstrcmpiW(kind, L"Button") == 0 && (style & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
                std::printf("default\t%d\n", GetDlgCtrlID(child));
            else if (lstrcmpiW(kind, L"Static") == 0 && !text_of(child).empty())
                std::printf("text\t%s\n", text_of(child).c_str());
        }
    } else if (verb == "show") {
        words >> id;
        HWND c = control(id);
        wchar_t kind[64] = {};
        GetClassNameW(c, kind, 64);
        const bool list = std::wstring(kind) == L"ComboBox";
        std::printf("%d\t%d\t%d\t%d\t%s\n", id, IsWindowEnabled(c) ? 1 : 0,
                    static_cast<int>(send(c, BM_GETCHECK, 0, 0) == BST_CHECKED),
                    list ? static_cast<int>(send(c, CB_GETCURSEL, 0, 0)) : -1, text_of(c).c_str());
    } else if (verb == "controls") {
        for (HWND c = GetWindow(current_page(), GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            wchar_t kind[64] = {};
            GetClassNameW(c, kind, 64);
            const bool group = std::wstring(kind) == L"Button" &&
                               (GetWindowLongW(c, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
            if (std::wstring(kind) == L"Static" || group) continue;
            std::printf("%d\t%d\n", GetDlgCtrlID(c), IsWindowEnabled(c) ? 1 : 0);
        }
    } else if (verb == "ok" || verb == "cancel") {
        PostMessageW(sheet(), PSM_PRESSBUTTON, verb == "ok" ? PSBTN_OK : PSBTN_CANCEL, 0);
    } else if (verb == "wait-window") {
        std::string class_name, title;
        int seconds = 30;
        words >> class_name >> std::quoted(title) >> seconds;
        if (!wait_for(seconds, [&] { return find_window(wide(class_name), title); }))
            fail("no window " + class_name + " \"" + title + "\"");
    } else if (verb == "wait-gone") {
        std::string class_name;
        int seconds = 30;
        words >> class_name >> seconds;
        if (!wait_for(seconds, [&]() -> HWND { return FindWindowW(wide(class_name).c_str(), nullptr) ? nullptr : gone; }))
            fail("a window " + class_name + " stayed");
    } else if (verb == "rows") {
        print_rows();
    } else if (verb == "close-window" || verb == "kill-window") {
        std::string class_name;
        words >> class_name;
        HWND w = FindWindowW(wide(class_name).c_str(), nullptr);
        if (!w) fail("no window of class " + class_name);
        if (verb == "close-window") {
            PostMessageW(w, WM_CLOSE, 0, 0);
        } else {
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, pid);
            if (!process || !TerminateProcess(process, 0)) fail("cannot end process " + std::to_string(pid));
            CloseHandle(process);
        }
    } else if (verb == "sleep") {
        int ms = 0;
        words >> ms;
        Sleep(static_cast<DWORD>(ms));
    } else {
        fail("unknown command: " + line);
    }
}

}  // namespace

int wmain() {
    std::string line;
    while (std::getline(std::cin, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        try {
            run(line);
        } catch (const failure& f) {
            std::printf("FAIL: %s (at: %s)\n", f.what.c_str(), line.c_str());
            std::fflush(stdout);
            return 1;
        }
        std::fflush(stdout);
    }
    return 0;
}
