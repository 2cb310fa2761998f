#include "ui/win32/tooltips_win32.h"
#include <commctrl.h>
#include <string>

namespace orvane {
namespace {

// The full TOOLINFOA, with lpReserved, as common controls 6 expect it.
constexpr UINT tool_info_size = 48;
static_assert(sizeof(TOOLINFOA) == tool_info_size);

TOOLINFOA tool_for(HWND control, HINSTANCE instance) {
    TOOLINFOA tool{};
    tool.cbSize = tool_info_size;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = control;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.hinst = instance;
    return tool;
}

}  // namespace

void add_tooltip(int control_id, std::string_view text, const chronobel_state& state, HWND dialog) {
    HWND tips = static_cast<HWND>(state.tooltip_window);
    HWND control = GetDlgItem(dialog, control_id);
    if (!tips || !control) return;
    TOOLINFOA tool = tool_for(control, static_cast<HINSTANCE>(state.h_instance));
    char current[1024] = {};  // the longest tooltip text the control keeps
    tool.lpszText = current;
    const bool known = SendMessageA(tips, TTM_GETTOOLINFOA, 0, reinterpret_cast<LPARAM>(&tool)) != 0;
    // The tooltip window keeps its own copy of the text.
    std::string copy(text);
    tool = tool_for(control, static_cast<HINSTANCE>(state.h_instance));
    tool.lpszText = copy.data();
    SendMessageA(tips, known ? TTM_UPDATETIPTEXTA : TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

void add_tooltips(const chronobel_state& state, HWND dialog, const ui_text_pair* table) {
    for (const ui_text_pair* pair = table; pair->ui_string != end_of_text_table; ++pair)
        add_tooltip(pair->control, state.ui_text(pair->ui_string), state, dialog);
}

void remove_tooltip(int control_id, const chronobel_state& state, HWND dialog) {
    HWND tips = static_cast<HWND>(state.tooltip_window);
    HWND control = GetDlgItem(dialog, control_id);
    if (!tips || !control) return;
    TOOLINFOA tool = tool_for(control, static_cast<HINSTANCE>(state.h_instance));
    SendMessageA(tips, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

}  // namespace orvane
