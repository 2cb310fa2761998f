// The four option page templates made into real dialogs: every control the
// pages' code knows is there, of its kind, and each number box has its
// up-down control attached.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <string>
#include "ui/option_tables.h"

using namespace orvane;

namespace {

INT_PTR CALLBACK quiet_page(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

std::wstring class_of(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

const wchar_t* class_for(control_kind kind) {
    switch (kind) {
        case control_kind::list: return L"ComboBox";
        case control_kind::number: return L"Edit";
        case control_kind::address: return L"SysIPAddress32";
        case control_kind::date: return L"SysDateTimePick32";
        case control_kind::label: return L"Static";
        default: return L"Button";
    }
}

}  // namespace

TEST(OptionPageTemplates, EveryControlIsThereOfItsKindWithItsUpDown) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_DATE_CLASSES | ICC_INTERNET_CLASSES | ICC_UPDOWN_CLASS};
    ASSERT_TRUE(InitCommonControlsEx(&controls));
    // Pages are child windows: they need a parent. A message-only one keeps
    // them off the desktop that other tests' windows share.
    HWND sheet = CreateWindowExW(0, L"Static", L"", 0, 0, 0, 600, 400, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(sheet, nullptr);
    int pages_with_numbers = 0;
    for (int p = 0; p < option_page_count; ++p) {
        const auto which = static_cast<option_page>(p);
        SCOPED_TRACE("page " + std::to_string(option_page_template(which)));
        HWND page = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(option_page_template(which)),
                                       sheet, quiet_page, 0);
        ASSERT_NE(page, nullptr);
        int children = 0;
        for (HWND c = GetWindow(page, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) ++children;
        int updowns = 0;
        for (const option_control& c : option_page_controls(which)) {
            HWND control = GetDlgItem(page, c.id);
            ASSERT_NE(control, nullptr) << c.id;
            EXPECT_EQ(class_of(control), class_for(c.kind)) << c.id;
            const LONG style = GetWindowLongW(control, GWL_STYLE);
            if (c.kind == control_kind::check) {
                EXPECT_EQ(style & BS_TYPEMASK, BS_AUTOCHECKBOX) << c.id;
            } else if (c.kind == control_kind::radio) {
                EXPECT_EQ(style & BS_TYPEMASK, BS_AUTORADIOBUTTON) << c.id;
            } else if (c.kind == control_kind::number) {
                EXPECT_TRUE(style & ES_NUMBER) << c.id;
            }
        }
        for (const number_box& box : option_number_boxes) {
            HWND updown = GetDlgItem(page, box.updown);
            if (!updown) continue;
            ++updowns;
            EXPECT_EQ(reinterpret_cast<HWND>(SendMessageW(updown, UDM_GETBUDDY, 0, 0)), GetDlgItem(page, box.edit));
        }
        pages_with_numbers += updowns > 0;
        // Nothing on the page that the code does not know of.
        EXPECT_EQ(children, static_cast<int>(option_page_controls(which).size()) + updowns);
        // 250 x 150 dialog units (the Servers page 149).
        RECT expected{0, 0, 250, which == option_page::servers ? 149 : 150}, got{};
        MapDialogRect(page, &expected);
        GetClientRect(page, &got);
        EXPECT_EQ(got.right, expected.right);
        EXPECT_EQ(got.bottom, expected.bottom);
        DestroyWindow(page);
    }
    EXPECT_EQ(pages_with_numbers, 2);
    DestroyWindow(sheet);
}
