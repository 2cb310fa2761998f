#include "ui/options_sheet_win32.h"
#include <commctrl.h>
#include <algorithm>
#include <string>
#include "engine/worker.h"
#include "server/servers.h"
#include "platform/elevation_win32.h"
#include "platform/startup_win32.h"
#include "ui/main_window_win32.h"
#include "ui/option_page_win32.h"
#include "ui/options_pages.h"
#include "ui/options_service_win32.h"
#include "ui/readme.h"
#include "ui/scan_window_win32.h"
#include "ui/win32/shell_win32.h"

namespace orvane {
namespace {

class win32_options_host final : public options_host {
public:
    explicit win32_options_host(chronobel_state& state) : state_(state) {}

    // The page whose command runs: it owns the Reset question.
    HWND active_page = nullptr;

    void disarm_auto_timer() override { KillTimer(main_window(), auto_timer_id); }
    void arm_auto_timer() override { orvane::arm_auto_timer(main_window(), state_); }
    void start_servers() override { orvane::start_servers(state_); }
    void stop_servers() override { close_server_sockets(state_); }
    void open_file(const std::wstring& path) override { open_text_file(path); }
    void open_scan_window() override { orvane::open_scan_window(state_, main_window()); }
    void open_readme() override { orvane::open_readme(state_); }
    // Cancel is the default: a hasty Return keeps the settings.
    bool confirm_reset(const std::string& question) override {
        return MessageBoxA(active_page, question.c_str(), state_.ui_text(text_id::reset), MB_OKCANCEL | MB_DEFBUTTON2) ==
               IDOK;
    }
    service_status query_service() override { return query_own_service(); }
    void install_service() override {
        std::string refusal;
        if (!install_chronobel_service(state_, refusal))
            MessageBoxA(active_page, refusal.c_str(), "Chronobel", MB_OK | MB_ICONWARNING);
    }
    void remove_service(bool running) override { remove_chronobel_service(running); }
    void start_service() override { start_own_service(); }
    void stop_service() override { stop_own_service(); }
    void relaunch_elevated() override { orvane::relaunch_elevated(state_, main_window()); }
    void set_topmost(bool on_top) override {
        SetWindowPos(main_window(), on_top ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                     SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
    }
    void save_settings() override { orvane::save_settings_and_startup(state_); }

private:
    HWND main_window() const { return static_cast<HWND>(state_.main_window); }

    chronobel_state& state_;
};

// The one sheet that is open (the sheet is modal, and only one opens).
options_session* g_session = nullptr;
win32_options_host* g_host = nullptr;

// The sheet sizes its pages in its own dialog font, the pages lay out their
// controls in theirs ("MS Sans Serif"); where that font is the wider one (as
// under Wine), the sheet grows by the difference so that no page is cut off.
void fit_sheet_to_page(HWND page) {
    RECT needed{};
    GetWindowRect(page, &needed);  // the template's size, before the sheet moves it
    HWND sheet = GetParent(page);
    HWND tab = PropSheet_GetTabControl(sheet);
    if (!sheet || !tab) return;
    RECT shown{};
    GetClientRect(tab, &shown);
    TabCtrl_AdjustRect(tab, FALSE, &shown);
    const int grow_x = std::max(0L, (needed.right - needed.left) - (shown.right - shown.left));
    const int grow_y = std::max(0L, (needed.bottom - needed.top) - (shown.bottom - shown.top));
    if (grow_x == 0 && grow_y == 0) return;
    auto grow = [](HWND window, int dx, int dy) {
        RECT r{};
        GetWindowRect(window, &r);
        SetWindowPos(window, nullptr, 0, 0, r.right - r.left + dx, r.bottom - r.top + dy,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    };
    grow(sheet, grow_x, grow_y);
    grow(tab, grow_x, grow_y);
    // The sheet's own buttons (OK, Cancel, and the hidden Apply and Help)
    // keep their place at the bottom right.
    for (HWND child = GetWindow(sheet, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (child == tab || child == page || GetParent(child) != sheet) continue;
        wchar_t class_name[16] = {};
        GetClassNameW(child, class_name, 16);
        if (lstrcmpiW(class_name, L"Button") != 0) continue;
        RECT r{};
        GetWindowRect(child, &r);
        MapWindowPoints(nullptr, sheet, reinterpret_cast<POINT*>(&r), 2);
        SetWindowPos(child, nullptr, r.left + grow_x, r.top + grow_y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

INT_PTR page_message(option_page which, HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
    if (!g_session) return FALSE;
    win32_option_page view(g_session->state, page);
    switch (message) {
        case WM_INITDIALOG:
            fit_sheet_to_page(page);
            set_number_box_ranges(page);
            fill_options_page(*g_session, view);
            return TRUE;
        case WM_COMMAND:
            g_host->active_page = page;
            return options_page_command(*g_session, view, wparam) ? TRUE : FALSE;
        case WM_NOTIFY: {
            // Activation is always accepted and given up; every other
            // notification is answered without a result.
            const auto* header = reinterpret_cast<const NMHDR*>(lparam);
            if (header->code == static_cast<UINT>(PSN_KILLACTIVE)) apply_options_page(*g_session, view, which);
            SetWindowLongPtrW(page, DWLP_MSGRESULT, 0);
            return TRUE;
        }
        case WM_TIMER:
            if (which != option_page::system || wparam != service_refresh_timer) return FALSE;
            KillTimer(page, service_refresh_timer);
            service_timer_elapsed(*g_session, view);
            return TRUE;
        default:
            return FALSE;
    }
}

INT_PTR CALLBACK servers_page_proc(HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
    return page_message(option_page::servers, page, message, wparam, lparam);
}
INT_PTR CALLBACK auto_page_proc(HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
    return page_message(option_page::automatic, page, message, wparam, lparam);
}
INT_PTR CALLBACK system_page_proc(HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
    return page_message(option_page::system, page, message, wparam, lparam);
}
INT_PTR CALLBACK misc_page_proc(HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
    return page_message(option_page::misc, page, message, wparam, lparam);
}

// The program's name as 8-bit text: the low byte of each UTF-16 unit.
std::string narrow_low_bytes(const std::wstring& text) {
    std::string narrow;
    for (wchar_t unit : text) narrow += static_cast<char>(unit & 0xFF);
    return narrow;
}

}  // namespace

void open_options_sheet(chronobel_state& state, HWND owner) {
    if (options_sheet_open) return;
    win32_options_host host(state);
    options_session session = begin_options(state, host);
    g_session = &session;
    g_host = &host;

    constexpr DLGPROC procs[option_page_count] = {servers_page_proc, auto_page_proc, system_page_proc, misc_page_proc};
    std::string titles[option_page_count];
    PROPSHEETPAGEA pages[option_page_count] = {};
    const HINSTANCE instance = static_cast<HINSTANCE>(state.h_instance);
    for (int i = 0; i < option_page_count; ++i) {
        const auto which = static_cast<option_page>(i);
        titles[i] = state.ui_text(option_page_title(which));
        pages[i].dwSize = sizeof pages[i];
        pages[i].dwFlags = PSP_USETITLE;
        pages[i].hInstance = instance;
        pages[i].pszTemplate = MAKEINTRESOURCEA(option_page_template(which));
        pages[i].pfnDlgProc = procs[i];
        pages[i].pszTitle = titles[i].c_str();
    }
    const std::string caption = narrow_low_bytes(state.program_name);
    PROPSHEETHEADERA header{};
    header.dwSize = sizeof header;
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW;
    header.hwndParent = owner;
    header.hInstance = instance;
    header.pszCaption = caption.c_str();
    header.nPages = option_page_count;
    header.nStartPage = 0;
    header.ppsp = pages;
    PropertySheetA(&header);

    end_options(session);
    g_session = nullptr;
    g_host = nullptr;
}

}  // namespace orvane
