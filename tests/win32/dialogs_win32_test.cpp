// The time-zone and About dialogs, shown modally on a thread of their own as
// the window thread shows them, and looked at and pressed from the test's
// thread: their texts, the buttons that close them, and what they hand to
// the shell. (e2e.dialogs_win32 presses Escape and Return on the real ones.)
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <utility>
#include <vector>
#include "core/paths.h"
#include "data/server_list.h"
#include "data/ui_strings.h"
#include "resources/resource_ids.h"
#include "support/test_zone.h"
#include "support/win32_temp_dir.h"
#include "sys/files.h"
#include "sys/timezone.h"
#include "ui/about_dialog_win32.h"
#include "ui/options_sheet_win32.h"
#include "ui/time_zone_dialog_win32.h"
#include "ui/win32/controls_win32.h"
#include "ui/win32/tooltips_win32.h"

using namespace orvane;
using namespace std::chrono_literals;
using orvane::testing::win32_temp_dir;

namespace {

BOOL CALLBACK pick_dialog(HWND window, LPARAM found) {
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (std::wstring(name) != L"#32770" || !IsWindowVisible(window)) return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}
// The visible dialog of `thread`, or null.
HWND visible_dialog(DWORD thread) {
    HWND found = nullptr;
    EnumThreadWindows(thread, pick_dialog, reinterpret_cast<LPARAM>(&found));
    return found;
}

// A dialog shown by `show` on its own thread, as the window thread shows it.
class shown_dialog {
public:
    using show_fn = int (*)(HWND, chronobel_state&);
    shown_dialog(show_fn show, chronobel_state& state) {
        result_ = std::async(std::launch::async, [this, show, &state] {
            thread_id_ = GetCurrentThreadId();
            return show(nullptr, state);
        });
        // Wine under emulation may take long to show a first window.
        for (int waited = 0; waited < 600 && !window_; ++waited) {
            if (result_.wait_for(100ms) == std::future_status::ready) break;
            if (thread_id_) window_ = visible_dialog(thread_id_);
        }
    }
    ~shown_dialog() {
        // Both dialogs end on command 1, should a test have left one open.
        if (window_ && !ended_within(0ms)) PostMessageW(window_, WM_COMMAND, 1, 0);
        if (result_.valid()) result_.wait_for(30s);
    }
    shown_dialog(const shown_dialog&) = delete;
    shown_dialog& operator=(const shown_dialog&) = delete;

    HWND window() const { return window_; }
    std::string text(int control) const {
        char text[600] = {};
        GetDlgItemTextA(window_, control, text, sizeof text);
        return text;
    }
    std::string tooltip(int control) const {
        char text[1024] = {};
        TOOLINFOA tool{};
        tool.cbSize = sizeof tool;
        tool.hwnd = GetDlgItem(window_, control);
        tool.uId = reinterpret_cast<UINT_PTR>(tool.hwnd);
        tool.lpszText = text;
        SendMessageA(tooltip_window_of(window_), TTM_GETTEXTA, sizeof text, reinterpret_cast<LPARAM>(&tool));
        return text;
    }
    void click(int control) const { SendMessageW(GetDlgItem(window_, control), BM_CLICK, 0, 0); }
    RECT place(int control) const { return control_place(window_, control); }
    bool ended_within(std::chrono::milliseconds limit) const {
        return !result_.valid() || result_.wait_for(limit) == std::future_status::ready;
    }
    // The visible top-level windows of the dialog's thread but the dialog:
    // a message box would be one.
    int other_windows() const {
        int visible = 0;
        EnumThreadWindows(thread_id_, count_visible, reinterpret_cast<LPARAM>(&visible));
        return visible - 1;
    }

private:
    static BOOL CALLBACK count_visible(HWND window, LPARAM count) {
        if (IsWindowVisible(window)) ++*reinterpret_cast<int*>(count);
        return TRUE;
    }

    std::future<int> result_;
    std::atomic<DWORD> thread_id_{0};
    HWND window_ = nullptr;
};

// Makes the shell of this process open pages and folders by writing their
// paths, one a line, into a log instead of starting a browser or a folder
// window: the process's classes are a private key for the time, and the
// prefix's own associations are never touched.
class shell_recorder {
public:
    explicit shell_recorder(std::wstring log) : log_(std::move(log)) {
        wchar_t system[MAX_PATH] = {};
        GetSystemDirectoryW(system, MAX_PATH);
        const std::wstring command = std::wstring(system) + L"\\cmd.exe /c echo %1>>\"" + log_ + L"\"";
        set_default(L".htm", L"Chronobel.TestPage");
        set_default(L"Chronobel.TestPage\\shell\\open\\command", command);
        set_default(L"Folder\\shell\\open\\command", command);
        RegCreateKeyExW(HKEY_CURRENT_USER, classes_, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &classes_key_, nullptr);
        EXPECT_EQ(RegOverridePredefKey(HKEY_CLASSES_ROOT, classes_key_), ERROR_SUCCESS);
    }
    ~shell_recorder() {
        RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
        RegCloseKey(classes_key_);
        RegDeleteTreeW(HKEY_CURRENT_USER, classes_);
        RegDeleteKeyW(HKEY_CURRENT_USER, classes_);
    }
    shell_recorder(const shell_recorder&) = delete;
    shell_recorder& operator=(const shell_recorder&) = delete;

    // The paths opened so far (without quotes), once `count` of them are
    // there or the time is up.
    std::vector<std::string> opened(std::size_t count) const {
        std::vector<std::string> lines;
        for (int waited = 0; waited < 600 && lines.size() < count; ++waited, Sleep(100)) {
            lines.clear();
            std::string line;
            for (char c : read_log())
                if (c == '\n') lines.push_back(std::exchange(line, {}));
                else if (c != '\r' && c != '"') line += c;
        }
        return lines;
    }

private:
    static constexpr const wchar_t* classes_ = L"Software\\ChronobelTestClasses";
    static void set_default(const std::wstring& key, const std::wstring& value) {
        RegSetKeyValueW(HKEY_CURRENT_USER, (std::wstring(classes_) + L"\\" + key).c_str(), nullptr, REG_SZ,
                        value.c_str(), static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    }
    // Shared for writing: cmd may be appending while this reads.
    std::string read_log() const {
        HANDLE file = CreateFileW(log_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return {};
        std::string bytes(4096, '\0');
        DWORD got = 0;
        ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
        CloseHandle(file);
        bytes.resize(got);
        return bytes;
    }

    std::wstring log_;
    HKEY classes_key_ = nullptr;
};

// The windows of `thread` that hold a tooltip window of their own (not those
// that common controls make for themselves).
BOOL CALLBACK count_own_tooltips(HWND window, LPARAM count) {
    if (GetAncestor(window, GA_ROOT) == window && IsWindow(tooltip_window_of(window))) ++*reinterpret_cast<int*>(count);
    return TRUE;
}
int own_tooltip_windows(DWORD thread) {
    int count = 0;
    EnumThreadWindows(thread, count_own_tooltips, reinterpret_cast<LPARAM>(&count));
    return count;
}

int tool_count(HWND tips) { return static_cast<int>(SendMessageW(tips, TTM_GETTOOLCOUNT, 0, 0)); }

// Waits (at most 60 s: Wine under emulation may take long to show a
// window), handling the messages of this thread's windows meanwhile.
template <typename Ready>
bool within_a_minute(Ready ready) {
    for (int waited = 0; waited < 600 && !ready(); ++waited) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    }
    return ready();
}

std::string narrow_name(const wchar_t* name) { return zone_name_text(reinterpret_cast<const char16_t*>(name)); }

// The date a "last weekday of the month" rule names next, worked out with
// the system's own calendar: the month's last day, then back to the weekday.
std::string last_weekday_text(const SYSTEMTIME& rule) {
    constexpr ULONGLONG one_day = 864'000'000'000ULL;
    SYSTEMTIME today{}, last{};
    GetLocalTime(&today);
    const int year = today.wYear + (rule.wMonth < today.wMonth ? 1 : 0) + (rule.wMonth == 12 ? 1 : 0);
    SYSTEMTIME next_month{static_cast<WORD>(year), static_cast<WORD>(rule.wMonth % 12 + 1), 0, 1, 0, 0, 0, 0};
    ULARGE_INTEGER units{};
    SystemTimeToFileTime(&next_month, reinterpret_cast<FILETIME*>(&units));
    units.QuadPart -= one_day;
    FileTimeToSystemTime(reinterpret_cast<const FILETIME*>(&units), &last);
    units.QuadPart -= ((last.wDayOfWeek - rule.wDayOfWeek + 7) % 7) * one_day;
    FileTimeToSystemTime(reinterpret_cast<const FILETIME*>(&units), &last);
    last.wHour = rule.wHour;
    last.wMinute = rule.wMinute;
    char time[100] = {}, date[100] = {};
    GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &last, nullptr, time, sizeof time);
    GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &last, nullptr, date, sizeof date);
    return std::string(time) + " " + date;
}

struct DialogsOnWine : ::testing::Test {
    win32_temp_dir dir;
    chronobel_state state;

    void SetUp() override {
        state.h_instance = GetModuleHandleW(nullptr);
        state.program_name = L"Chronobel";
        split_path(state.program_path, dir / L"Chronobel.exe");
        split_path(state.data_path, dir.dir());
        load_ui_strings(state, ui_string_count, L"Strings.txt");
        apply_default_settings(state);
    }
};

}  // namespace

TEST_F(DialogsOnWine, TheTimeZoneDialogShowsTheZoneInForceAndOkStoresTheLock) {
    TIME_ZONE_INFORMATION system{};
    const DWORD period = GetTimeZoneInformation(&system);
    ASSERT_EQ(system.Bias, -60) << "the Wine tests run with TZ=Europe/Berlin";
    ASSERT_EQ(system.StandardDate.wDay, 5);
    ASSERT_EQ(system.DaylightDate.wDay, 5);

    shown_dialog dialog(show_time_zone_dialog, state);
    ASSERT_NE(dialog.window(), nullptr);
    EXPECT_EQ(dialog.text(IDC_LOCK_ZONE), "Lock this Time Zone");  // the label table is applied
    EXPECT_EQ(dialog.text(IDC_ZONE_DISPLAY_NAME).rfind("(UTC+01:00) ", 0), 0u) << dialog.text(IDC_ZONE_DISPLAY_NAME);
    EXPECT_EQ(dialog.text(IDC_ZONE_PHASE), period == TIME_ZONE_ID_DAYLIGHT ? "Daylight" : "Standard");
    EXPECT_EQ(dialog.text(IDC_ZONE_BIAS), "60");  // east of UTC: positive
    EXPECT_EQ(dialog.text(IDC_STANDARD_NAME), narrow_name(system.StandardName));
    EXPECT_EQ(dialog.text(IDC_STANDARD_DATE), last_weekday_text(system.StandardDate));
    EXPECT_EQ(dialog.text(IDC_STANDARD_BIAS), "0");
    EXPECT_EQ(dialog.text(IDC_DAYLIGHT_NAME), narrow_name(system.DaylightName));
    EXPECT_EQ(dialog.text(IDC_DAYLIGHT_DATE), last_weekday_text(system.DaylightDate));
    EXPECT_EQ(dialog.text(IDC_DAYLIGHT_BIAS), "-60");
    EXPECT_EQ(dialog.tooltip(IDC_LOCK_ZONE), "Ensure that the Time Zone settings are not changed.");
    EXPECT_EQ(IsDlgButtonChecked(dialog.window(), IDC_LOCK_ZONE), BST_UNCHECKED);

    dialog.click(IDC_LOCK_ZONE);
    EXPECT_EQ(state.settings.time_zone_locked, 0) << "the box is stored by OK only";
    dialog.click(IDC_ZONE_OK_BUTTON);
    ASSERT_TRUE(dialog.ended_within(30s));
    EXPECT_EQ(state.settings.time_zone_locked, 1);
}

TEST_F(DialogsOnWine, AZoneWithoutDaylightSavingShowsNoneAndHelpOpensTheManualOnlyWhenThere) {
    orvane::testing::scoped_test_zone test;
    test.zone.zone = orvane::testing::make_zone(300, u"Chronobel Test Standard Time");
    test.zone.period = zone_period_none;
    test.zone.display_names[u"Chronobel Test Standard Time"] = u"(UTC-05:00) Test Town";
    state.settings.locked_time_zone = test.zone.zone;
    state.settings.time_zone_locked = 1;
    state.policy.lock_time_zone = true;  // the administrator's
    shell_recorder shell(dir / L"opened.txt");

    shown_dialog dialog(show_time_zone_dialog, state);
    ASSERT_NE(dialog.window(), nullptr);
    EXPECT_EQ(dialog.text(IDC_ZONE_DISPLAY_NAME), "(UTC-05:00) Test Town");
    // Disabled, its tooltip also over its place in the dialog, where the
    // mouse input goes while it is disabled.
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog.window(), IDC_LOCK_ZONE)));
    EXPECT_EQ(dialog.tooltip(IDC_LOCK_ZONE), set_by_administrator_text);
    char place_text[100] = {};
    TOOLINFOA place{};
    place.cbSize = sizeof place;
    place.hwnd = dialog.window();
    place.uId = IDC_LOCK_ZONE;
    place.lpszText = place_text;
    SendMessageA(tooltip_window_of(dialog.window()), TTM_GETTEXTA, sizeof place_text, reinterpret_cast<LPARAM>(&place));
    EXPECT_STREQ(place_text, set_by_administrator_text);
    EXPECT_EQ(dialog.text(IDC_ZONE_PHASE), "Standard");
    EXPECT_EQ(dialog.text(IDC_ZONE_BIAS), "-300");
    EXPECT_EQ(dialog.text(IDC_STANDARD_NAME), "Chronobel Test Standard Time");
    for (int control : {IDC_STANDARD_DATE, IDC_STANDARD_BIAS, IDC_DAYLIGHT_DATE, IDC_DAYLIGHT_BIAS})
        EXPECT_EQ(dialog.text(control), "None") << control;
    EXPECT_EQ(dialog.text(IDC_DAYLIGHT_NAME), "");
    EXPECT_EQ(IsDlgButtonChecked(dialog.window(), IDC_LOCK_ZONE), BST_CHECKED);

    // Without the manual nothing at all happens; with it, the shell gets it.
    dialog.click(IDC_ZONE_HELP_BUTTON);
    EXPECT_EQ(dialog.other_windows(), 0);
    dir.write(L"ReadMe.htm", "<html><body>Manual</body></html>\r\n");
    dialog.click(IDC_ZONE_HELP_BUTTON);
    EXPECT_EQ(shell.opened(1), std::vector<std::string>{narrow(dir / L"ReadMe.htm")});
    EXPECT_EQ(dialog.other_windows(), 0);

    dialog.click(IDC_ZONE_OK_BUTTON);
    ASSERT_TRUE(dialog.ended_within(30s));
    EXPECT_EQ(state.settings.time_zone_locked, 1);
    EXPECT_TRUE(test.zone.writes().empty());
}

// The display name keeps the values' column when it fits there, is shown
// whole when it fits the dialog's width, and only then ends in "...": its
// line always reaches the OK button's right edge, clear of its label.
TEST_F(DialogsOnWine, TheZoneNameGetsTheRoomTheDialogHas) {
    orvane::testing::scoped_test_zone test;
    test.zone.zone = orvane::testing::make_zone(0, u"Chronobel Test Standard Time");
    state.settings.locked_time_zone = test.zone.zone;
    struct name_line {
        RECT name, label, ok, phase;
        int needed;
        int width() const { return name.right - name.left; }
    };
    auto show = [&](const std::u16string& name) {
        test.zone.display_names[u"Chronobel Test Standard Time"] = name;
        shown_dialog dialog(show_time_zone_dialog, state);
        if (!dialog.window()) ADD_FAILURE() << "no dialog";
        const std::wstring text(name.begin(), name.end());
        const name_line line{dialog.place(IDC_ZONE_DISPLAY_NAME), dialog.place(IDC_ZONE_NAME_LABEL),
                             dialog.place(IDC_ZONE_OK_BUTTON), dialog.place(IDC_ZONE_PHASE),
                             text_width(dialog.window(), IDC_ZONE_DISPLAY_NAME, text)};
        dialog.click(IDC_ZONE_OK_BUTTON);
        EXPECT_TRUE(dialog.ended_within(30s));
        EXPECT_EQ(line.name.right, line.ok.right);
        EXPECT_LE(line.label.right, line.name.left);
        return line;
    };
    const name_line short_name = show(u"(UTC) Short");
    EXPECT_EQ(short_name.name.left, short_name.phase.left);
    const name_line monrovia = show(u"(UTC+00:00) Monrovia, Reykjavik");
    EXPECT_GE(monrovia.width(), monrovia.needed) << "cut although there is room";
    const name_line long_name = show(u"(UTC+00:00) A name that is longer than any dialog is wide, and then some");
    EXPECT_LT(long_name.width(), long_name.needed);
    EXPECT_LT(long_name.name.left, long_name.phase.left);
}

TEST_F(DialogsOnWine, AboutTellsWhereTheFilesAreAndOpensTheFoldersThatExist) {
    split_path(state.data_path, dir / L"not made yet\\");
    shell_recorder shell(dir / L"opened.txt");

    shown_dialog dialog(show_about_dialog, state);
    ASSERT_NE(dialog.window(), nullptr);
    const std::string where = narrow(dir.dir());
    EXPECT_EQ(dialog.text(IDC_LOCATIONS), "Location of program:\r\n" + where + "Chronobel.exe \r\n\r\n" +
                                              "Where program stores user data:\r\n" + where + "not made yet\\");
    EXPECT_EQ(dialog.tooltip(IDC_OPEN_DIRS_BUTTON), "Open Dirs");
    // Both pictures were found: the program's icon and the second one.
    int icons = 0;
    for (HWND child = GetWindow(dialog.window(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (SendMessageW(child, STM_GETICON, 0, 0)) ++icons;
    EXPECT_EQ(icons, 2);
    // The locations box spans the dialog above the buttons, its right edge
    // on the Close button's.
    const RECT box = dialog.place(IDC_LOCATIONS), close = dialog.place(IDC_ABOUT_CLOSE_BUTTON);
    EXPECT_EQ(box.right, close.right);
    EXPECT_EQ(box.left, dialog_units_to_pixels(dialog.window(), RECT{5, 0, 0, 0}).left);
    EXPECT_LT(box.bottom, close.top);

    // The data folder is not there: only the program's folder opens, and
    // nothing says so.
    dialog.click(IDC_OPEN_DIRS_BUTTON);
    EXPECT_EQ(shell.opened(1), std::vector<std::string>{where});
    EXPECT_EQ(dialog.other_windows(), 0);

    dialog.click(IDC_ABOUT_CLOSE_BUTTON);
    ASSERT_TRUE(dialog.ended_within(30s));
}

TEST_F(DialogsOnWine, TheOptionsSheetsTooltipsBelongToItAndCloseWithIt) {
    // The sheet opened and closed again and again, on one thread, from a
    // window with a tooltip of its own, as the main window opens it.
    constexpr int openings = 3;
    write_default_server_list(state);
    state.exe_name = L"ChronobelTest.exe";  // the start-up entry that the save clears is the test's own
    std::atomic<HWND> main{nullptr};
    std::atomic<DWORD> thread{0};
    std::atomic<int> allowed{0};  // how far the test lets the thread go; -1: to its end
    auto ui = std::async(std::launch::async, [&] {
        const HINSTANCE instance = GetModuleHandleW(nullptr);
        HWND window = CreateWindowExW(0, L"Static", L"main", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr,
                                      instance, nullptr);
        CreateWindowExW(0, L"Button", L"Check", WS_CHILD, 0, 0, 80, 24, window,
                        reinterpret_cast<HMENU>(IDC_CHECK_BUTTON), instance, nullptr);
        add_tooltip(IDC_CHECK_BUTTON, "Check", state, window);
        state.main_window = window;
        thread = GetCurrentThreadId();
        main = window;
        for (int i = 0; i <= openings; ++i) {
            if (!within_a_minute([&] { return allowed.load() > i || allowed.load() < 0; }) || allowed.load() < 0) break;
            if (i < openings) open_options_sheet(state, window);
        }
        DestroyWindow(window);
    });
    ASSERT_TRUE(within_a_minute([&] { return main.load() != nullptr; }));
    HWND main_tips = tooltip_window_of(main);
    int sheet_tools = 0;
    for (int i = 0; i < openings; ++i) {
        SCOPED_TRACE("opening " + std::to_string(i + 1));
        allowed = i + 1;
        HWND sheet = nullptr;
        if (!within_a_minute([&] { return (sheet = visible_dialog(thread)) != nullptr; })) {
            ADD_FAILURE() << "the sheet did not open";
            break;
        }
        HWND tips = tooltip_window_of(sheet);
        EXPECT_NE(tips, main_tips);
        if (i == 0) sheet_tools = tool_count(tips);
        EXPECT_GT(sheet_tools, 10);
        EXPECT_EQ(tool_count(tips), sheet_tools);
        // A tip raises itself to topmost as it shows: it stays in its sheet's band.
        SetWindowPos(tips, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        EXPECT_FALSE(GetWindowLongW(tips, GWL_EXSTYLE) & WS_EX_TOPMOST);

        PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
        EXPECT_TRUE(within_a_minute([&] { return !IsWindow(sheet); }));
        // Its tools went with it; the window's own are as they were.
        EXPECT_FALSE(IsWindow(tips));
        EXPECT_EQ(own_tooltip_windows(thread), 1);
        EXPECT_EQ(tool_count(main_tips), 1);
    }
    allowed = -1;
    // A sheet still open (after a failure) is closed, so that the thread ends.
    for (int waited = 0; waited < 600 && ui.wait_for(100ms) != std::future_status::ready; ++waited)
        if (HWND sheet = visible_dialog(thread)) PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    ASSERT_EQ(ui.wait_for(0s), std::future_status::ready);
    EXPECT_FALSE(IsWindow(main_tips));
}
