#include "ui/scan_window_win32.h"
#include <commctrl.h>
#include <chrono>
#include <memory>
#include <string>
#include "ui/server_scan.h"

namespace orvane {
namespace {

// Posted by the scan thread when rows are waiting (or the scan is done).
constexpr UINT scan_rows_message = WM_APP + 2;
constexpr int list_id = 1;

// A window's scan and its list, kept in the window's user data.
struct scan_window {
    HWND list = nullptr;
    std::unique_ptr<server_scan> scan;
};

scan_window* data_of(HWND window) { return reinterpret_cast<scan_window*>(GetWindowLongPtrW(window, GWLP_USERDATA)); }

void add_column(HWND list, int index, const char* title, int width) {
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = const_cast<char*>(title);
    column.cx = width;
    SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
}

void set_cell(HWND list, int row, int column, const std::string& text) {
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text.c_str());
    SendMessageA(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

void add_row(HWND list, const chronobel_state& state, const scan_row& row) {
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = row.index;
    item.pszText = const_cast<char*>(row.name.c_str());
    const int at = static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    set_cell(list, at, 1, row.address);
    set_cell(list, at, 2, scan_cell_text(state, row.time));
    set_cell(list, at, 3, scan_cell_text(state, row.sntp));
}

// The list fills the window; the scan of every server of the list starts,
// each exchange given the sync time-out.
void start_scan(HWND window) {
    auto* data = new scan_window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(data));
    chronobel_state& state = *g_state;
    RECT area{};
    GetClientRect(window, &area);
    data->list = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_NOSORTHEADER, 0, 0,
                                 area.right, area.bottom, window, reinterpret_cast<HMENU>(list_id),
                                 static_cast<HINSTANCE>(state.h_instance), nullptr);
    SendMessageW(data->list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    add_column(data->list, 0, state.ui_text(text_id::server_column), 200);
    add_column(data->list, 1, state.ui_text(text_id::ip), 110);
    add_column(data->list, 2, state.ui_text(text_id::time_ms), 85);
    add_column(data->list, 3, state.ui_text(text_id::sntp_ms), 85);
    const std::chrono::seconds timeout(state.settings.sync_timeout_s);
    data->scan = std::make_unique<server_scan>(state.shared_from_this(), scan_targets_from_list(state), timeout,
                                               [window] { PostMessageW(window, scan_rows_message, 0, 0); });
}

void show_rows(HWND window) {
    scan_window* data = data_of(window);
    if (!data || !data->scan) return;
    const chronobel_state& state = *g_state;
    for (const scan_row& row : data->scan->take_rows()) add_row(data->list, state, row);
    if (data->scan->finished() || !data->scan->running()) SetWindowTextA(window, state.ui_text(text_id::scan_finished));
}

// The scan ends before the window does: nothing is left running.
void end_scan(HWND window) {
    scan_window* data = data_of(window);
    if (!data) return;
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    if (data->scan) data->scan->stop();
    delete data;
}

}  // namespace

void open_scan_window(chronobel_state& state, HWND owner) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    HWND window = CreateWindowExW(0, L"ChronobelScan", L"Scanning Servers", WS_OVERLAPPEDWINDOW, 100, 100, 520, 400,
                                  owner, nullptr, static_cast<HINSTANCE>(state.h_instance), nullptr);
    if (window) ShowWindow(window, SW_SHOW);
}

LRESULT CALLBACK scan_wnd_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_CREATE:
            start_scan(window);
            return 0;
        case WM_SIZE:
            if (scan_window* data = data_of(window))
                MoveWindow(data->list, 0, 0, LOWORD(lparam), HIWORD(lparam), TRUE);
            return 0;
        case scan_rows_message:
            show_rows(window);
            return 0;
        case WM_CLOSE:
            end_scan(window);
            DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            end_scan(window);
            return 0;
        case WM_NOTIFY:
        case WM_TIMER:
            return 0;
        default:
            return DefWindowProcW(window, message, wparam, lparam);
    }
}

}  // namespace orvane
