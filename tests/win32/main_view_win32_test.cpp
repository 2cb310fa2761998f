// The main window's view and the window helpers, on a real dialog 1700 in
// this process: background threads never wait for the window, the window
// gets one notification however much is written, the latest texts win, a
// control keeps one tooltip whose text is replaced, and the tray icon shows
// how well the clock is kept.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <chrono>
#include <cstring>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>
#include "core/state.h"
#include "engine/health.h"
#include "resources/resource_ids.h"
#include "ui/main_view_win32.h"
#include "ui/main_window_win32.h"
#include "ui/win32/tray_icon_win32.h"
#include "tools/icon_pixel.h"
#include "ui/win32/controls_win32.h"
#include "ui/win32/tooltips_win32.h"

using namespace orvane;

namespace {

posting_view* g_view = nullptr;

// Each call of the shell's tray function, as the tray code made it.
struct tray_call {
    DWORD operation;
    UINT flags;
    HICON icon;
    std::string info;
    DWORD info_kind;
};
std::vector<tray_call> g_tray_calls;

void record_tray_call(DWORD operation, const NOTIFYICONDATAA& data) {
    g_tray_calls.push_back({operation, data.uFlags, data.hIcon, data.szInfo, data.dwInfoFlags});
}

// The colour inside the corner mark of the tray's other looks.
COLORREF mark_colour(HICON icon) { return icon_pixel(icon, icon_mark_x, icon_mark_y); }

LRESULT CALLBACK test_main_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == view_changed_message && g_view) {
        g_view->apply();
        return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

class MainViewWindow : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSEXW window_class{};
        window_class.cbSize = sizeof window_class;
        window_class.lpfnWndProc = test_main_proc;
        window_class.cbWndExtra = DLGWINDOWEXTRA;
        window_class.hInstance = GetModuleHandleW(nullptr);
        window_class.lpszClassName = L"Chronobel";
        RegisterClassExW(&window_class);
        state.h_instance = GetModuleHandleW(nullptr);
        auto table = std::make_unique<ui_table>();
        std::strcpy(table->bytes + 0 * ui_slot_size, "Check it");
        std::strcpy(table->bytes + 1 * ui_slot_size, "Correct it");
        std::strcpy(table->bytes + 123 * ui_slot_size, "first tip");
        state.publish_ui_table(std::move(table));
        window = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MAIN_WINDOW), nullptr, nullptr, 0);
        ASSERT_NE(window, nullptr);
        view = std::make_unique<posting_view>(state);
        view->attach(window);
        g_view = view.get();
    }
    void TearDown() override {
        g_view = nullptr;
        if (window) DestroyWindow(window);
        UnregisterClassW(L"Chronobel", GetModuleHandleW(nullptr));
    }

    // Takes every waiting notification out of the queue; returns how many.
    int take_notifications() {
        int count = 0;
        MSG message;
        while (PeekMessageW(&message, window, view_changed_message, view_changed_message, PM_REMOVE)) ++count;
        return count;
    }
    std::string text_of(int control) {
        char text[200] = {};
        GetDlgItemTextA(window, control, text, sizeof text);
        return text;
    }
    int tool_count() {
        HWND tips = tooltip_window_of(window);
        return tips ? static_cast<int>(SendMessageW(tips, TTM_GETTOOLCOUNT, 0, 0)) : 0;
    }
    std::string tooltip_of(int control) {
        char text[1024] = {};
        TOOLINFOA tool{};
        tool.cbSize = sizeof tool;
        tool.hwnd = GetDlgItem(window, control);
        tool.uId = reinterpret_cast<UINT_PTR>(tool.hwnd);
        tool.lpszText = text;
        SendMessageA(tooltip_window_of(window), TTM_GETTEXTA, sizeof text, reinterpret_cast<LPARAM>(&tool));
        return text;
    }

    chronobel_state state;
    HWND window = nullptr;
    std::unique_ptr<posting_view> view;
};

}  // namespace

TEST_F(MainViewWindow, BackgroundWritesNeverWaitAndTheWindowAppliesTheLatestOnce) {
    // The window thread does not look at its messages while another thread
    // writes: a send would wait for it for good, a post does not.
    auto writer = std::async(std::launch::async, [&] {
        for (int i = 0; i < 2000; ++i) {
            view->set_text(IDC_STATUS_LINE, "status " + std::to_string(i));
            view->enable(IDC_CORRECT_BUTTON, i % 2 == 0);
            view->set_tooltip(IDC_CHECK_BUTTON, "tip " + std::to_string(i));
        }
        view->set_title("Chronobel (UTC)");
    });
    ASSERT_EQ(writer.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(text_of(IDC_STATUS_LINE), "");
    EXPECT_EQ(take_notifications(), 1);

    view->apply();
    EXPECT_EQ(text_of(IDC_STATUS_LINE), "status 1999");
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, IDC_CORRECT_BUTTON)));
    EXPECT_EQ(tooltip_of(IDC_CHECK_BUTTON), "tip 1999");
    EXPECT_EQ(tool_count(), 1);
    char title[100] = {};
    GetWindowTextA(window, title, sizeof title);
    EXPECT_STREQ(title, "Chronobel (UTC)");

    // After applying, the next change asks again, once.
    view->set_text(IDC_LOCAL_TIME, "12:00:00");
    view->set_text(IDC_LOCAL_TIME, "12:00:01");
    EXPECT_EQ(take_notifications(), 1);
    view->apply();
    EXPECT_EQ(text_of(IDC_LOCAL_TIME), "12:00:01");

    // Once the window is gone, the view keeps and posts nothing.
    view->detach();
    view->set_text(IDC_STATUS_LINE, "too late");
    view->post_command(2031);
    MSG message;
    EXPECT_FALSE(PeekMessageW(&message, window, 0, 0, PM_REMOVE | PM_NOYIELD) &&
                 (message.message == view_changed_message || message.message == WM_COMMAND));
    view->apply();
    EXPECT_EQ(text_of(IDC_STATUS_LINE), "status 1999");
}

TEST_F(MainViewWindow, CaptionsComeFromTheTableAndEachControlKeepsOneTooltip) {
    constexpr ui_text_pair captions[] = {
        {text_id::check, IDC_CHECK_BUTTON}, {text_id::correct, IDC_CORRECT_BUTTON}, {end_of_text_table, 0}};
    apply_captions(state, window, captions);
    EXPECT_EQ(text_of(IDC_CHECK_BUTTON), "Check it");
    EXPECT_EQ(text_of(IDC_CORRECT_BUTTON), "Correct it");

    constexpr ui_text_pair tips[] = {
        {text_id::check_dont_change, IDC_CHECK_BUTTON}, {text_id::correct, IDC_CORRECT_BUTTON}, {end_of_text_table, 0}};
    add_tooltips(state, window, tips);
    EXPECT_EQ(tool_count(), 2);
    EXPECT_EQ(tooltip_of(IDC_CHECK_BUTTON), "first tip");
    // An operation a minute for a day would otherwise add thousands of tools.
    for (int i = 0; i < 500; ++i) add_tooltip(IDC_CHECK_BUTTON, i % 2 ? "Check the time" : "Cancel", state, window);
    EXPECT_EQ(tool_count(), 2);
    EXPECT_EQ(tooltip_of(IDC_CHECK_BUTTON), "Check the time");
    EXPECT_EQ(tooltip_of(IDC_CORRECT_BUTTON), "Correct it");

    // The tips belong to the window, not above every program's, and go with it.
    HWND tooltips = tooltip_window_of(window);
    EXPECT_FALSE(GetWindowLongW(tooltips, GWL_EXSTYLE) & WS_EX_TOPMOST);
    DestroyWindow(std::exchange(window, nullptr));
    EXPECT_FALSE(IsWindow(tooltips));
}

// In the tray the icon takes the look in force, and each notice comes as a
// balloon (NIF_INFO) over it unless balloons are off.
TEST_F(MainViewWindow, TheTrayIconTakesItsLookAndShowsNoticesAsBalloons) {
    state.small_icon = LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_CHRONOBEL), IMAGE_ICON, 16, 16, 0);
    ASSERT_NE(state.small_icon, nullptr);
    const std::int32_t old_mode = window_mode, old_refresh = status_refresh_ms;
    set_notify_icon_observer(record_tray_call);
    health_begin(state.health, GetTickCount64());
    auto end = [&](auto_kind kind, bool correction, operation_outcome outcome, bool off = false) {
        health_operation_started(state.health, kind, correction);
        state.health.pending |= health_operation_ended(state.health, outcome, off, GetTickCount64());
    };

    minimise_to_tray(window, state);
    ASSERT_EQ(g_tray_calls.size(), 1u);
    EXPECT_EQ(g_tray_calls[0].operation, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(g_tray_calls[0].icon, state.small_icon);

    for (int i = 0; i < failing_streak; ++i) end(auto_sync, true, operation_outcome::failed);
    g_tray_calls.clear();
    show_health(window, state);
    ASSERT_EQ(g_tray_calls.size(), 2u);
    EXPECT_EQ(g_tray_calls[0].flags, static_cast<UINT>(NIF_ICON));
    const HICON failing = g_tray_calls[0].icon;
    EXPECT_EQ(mark_colour(failing), icon_mark_failing);
    EXPECT_EQ(g_tray_calls[1].flags & NIF_INFO, static_cast<UINT>(NIF_INFO));
    EXPECT_EQ(g_tray_calls[1].icon, failing);
    EXPECT_EQ(g_tray_calls[1].info, "Automatic time updates failed three times in a row");
    EXPECT_EQ(g_tray_calls[1].info_kind, static_cast<DWORD>(NIIF_WARNING));
    EXPECT_EQ(state.health.pending.load(), health_none);
    // Shown once: nothing waits any more.
    g_tray_calls.clear();
    show_health(window, state);
    ASSERT_EQ(g_tray_calls.size(), 1u);
    EXPECT_EQ(g_tray_calls[0].icon, failing);

    // An AutoCheck finds the clock off: recovered, and off, the icon stale.
    g_tray_calls.clear();
    end(auto_check, false, operation_outcome::succeeded, true);
    show_health(window, state);
    ASSERT_EQ(g_tray_calls.size(), 3u);
    EXPECT_EQ(mark_colour(g_tray_calls[0].icon), icon_mark_stale);
    EXPECT_EQ(g_tray_calls[1].info, "Automatic time updates work again");
    EXPECT_EQ(g_tray_calls[1].info_kind, static_cast<DWORD>(NIIF_INFO));
    EXPECT_EQ(g_tray_calls[2].info, "AutoCheck found the clock more than a second off");

    // Balloons off: the icon alone, back to the program's own.
    state.extras.balloons = 0;
    g_tray_calls.clear();
    for (int i = 0; i < failing_streak; ++i) end(auto_sync, true, operation_outcome::failed);
    end(auto_sync, true, operation_outcome::succeeded);
    show_health(window, state);
    ASSERT_EQ(g_tray_calls.size(), 1u);
    EXPECT_EQ(g_tray_calls[0].icon, state.small_icon);

    // With the window shown there is no icon: the notices are not kept.
    window_mode = window_shown;
    state.extras.balloons = 1;
    for (int i = 0; i < failing_streak; ++i) end(auto_sync, true, operation_outcome::failed);
    g_tray_calls.clear();
    show_health(window, state);
    EXPECT_TRUE(g_tray_calls.empty());
    EXPECT_EQ(state.health.pending.load(), health_none);

    notify_icon(window, nullptr, nullptr, NIM_DELETE);
    set_notify_icon_observer(nullptr);
    window_mode = old_mode;
    status_refresh_ms = old_refresh;
}
