#include "ui/options_sheet_win32.h"
#include <commctrl.h>
#include <shellapi.h>
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
    void open_file(const std::wstring& path) override {
        ShellExecuteW(nullptr, nullptr, path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    }
    void open_scan_window() override { orvane::open_scan_window(state_, main_window()); }
    void open_readme() override { orvane::open_readme(state_); }
    bool confirm_reset() override {
        return MessageBoxA(active_page, state_.ui_text(120), state_.ui_text(40), MB_OKCANCEL) == IDOK;
    }
    service_status query_service() override { return query_own_service(); }
    void install_service() override { install_chronobel_service(state_); }
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

INT_PTR page_message(option_page which, HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
    if (!g_session) return FALSE;
    win32_option_page view(g_session->state, page);
    switch (message) {
        case WM_INITDIALOG:
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
