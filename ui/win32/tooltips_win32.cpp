#include "ui/win32/tooltips_win32.h"
#include <commctrl.h>
#include <string>

namespace orvane {
namespace {

// The full TOOLINFOA, with lpReserved, as common controls 6 expect it.
constexpr UINT tool_info_size = 48;
static_assert(sizeof(TOOLINFOA) == tool_info_size);

// Where a top-level window keeps its tooltip window, and the ids of the
// subclasses that keep that tooltip window in its window's band and end it
// with that window.
constexpr wchar_t tooltip_property[] = L"Chronobel.Tooltips";
constexpr UINT_PTR tooltip_subclass_id = 1;
constexpr UINT_PTR holder_subclass_id = 2;

TOOLINFOA tool_for(HWND control, HINSTANCE instance) {
    TOOLINFOA tool{};
    tool.cbSize = tool_info_size;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = control;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.hinst = instance;
    return tool;
}

bool is_topmost(HWND window) { return (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }

// A tooltip makes itself topmost each time it shows; it keeps its place
// above its owner instead, unless the owner is topmost itself ("On Top").
// On its end it takes its entry off the owner.
LRESULT CALLBACK tooltip_window_proc(HWND tips, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                     DWORD_PTR owner_data) {
    const HWND owner = reinterpret_cast<HWND>(owner_data);
    if (message == WM_WINDOWPOSCHANGING) {
        auto* position = reinterpret_cast<WINDOWPOS*>(lparam);
        if (position->hwndInsertAfter == HWND_TOPMOST && !is_topmost(owner)) position->flags |= SWP_NOZORDER;
    } else if (message == WM_NCDESTROY) {
        RemovePropW(owner, tooltip_property);
        RemoveWindowSubclass(tips, tooltip_window_proc, tooltip_subclass_id);
    }
    return DefSubclassProc(tips, message, wparam, lparam);
}

// The tooltip window ends with the window that holds it. (It is not owned
// by that window: under Wine an owned window keeps its owner from becoming
// topmost.)
LRESULT CALLBACK holder_window_proc(HWND holder, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR, DWORD_PTR) {
    if (message == WM_DESTROY) {
        if (HWND tips = static_cast<HWND>(GetPropW(holder, tooltip_property))) DestroyWindow(tips);
        RemoveWindowSubclass(holder, holder_window_proc, holder_subclass_id);
    }
    return DefSubclassProc(holder, message, wparam, lparam);
}

// The tooltip window of `window`'s top-level window, made on first use.
HWND own_tooltip_window(HWND window, HINSTANCE instance) {
    if (HWND tips = tooltip_window_of(window)) return tips;
    HWND owner = GetAncestor(window, GA_ROOT);
    if (!owner) return nullptr;
    HWND tips = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
    if (!tips) return nullptr;
    if (!SetWindowSubclass(tips, tooltip_window_proc, tooltip_subclass_id, reinterpret_cast<DWORD_PTR>(owner)) ||
        !SetWindowSubclass(owner, holder_window_proc, holder_subclass_id, 0) ||
        !SetPropW(owner, tooltip_property, tips)) {
        DestroyWindow(tips);
        return nullptr;
    }
    return tips;
}

// Adds the tool, or gives a known one its new text (the tooltip window
// keeps its own copy of the text).
void set_tool_text(HWND tips, TOOLINFOA tool, std::string_view text) {
    char current[1024] = {};  // the longest tooltip text a tool keeps
    TOOLINFOA asked = tool;      // the question is answered in place
    asked.lpszText = current;
    const bool known = SendMessageA(tips, TTM_GETTOOLINFOA, 0, reinterpret_cast<LPARAM>(&asked)) != 0;
    std::string copy(text);
    tool.lpszText = copy.data();
    SendMessageA(tips, known ? TTM_UPDATETIPTEXTA : TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

// A disabled control gets no mouse input; its parent does. The same text
// then shows from a tool over the control's place in its parent.
TOOLINFOA place_tool_for(HWND control, HINSTANCE instance) {
    HWND parent = GetParent(control);
    TOOLINFOA tool{};
    tool.cbSize = tool_info_size;
    tool.uFlags = TTF_SUBCLASS;
    tool.hwnd = parent;
    tool.uId = static_cast<UINT_PTR>(GetDlgCtrlID(control));
    tool.hinst = instance;
    GetWindowRect(control, &tool.rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&tool.rect), 2);
    return tool;
}

}  // namespace

HWND tooltip_window_of(HWND window) {
    HWND owner = GetAncestor(window, GA_ROOT);
    return owner ? static_cast<HWND>(GetPropW(owner, tooltip_property)) : nullptr;
}

void add_tooltip(int control_id, std::string_view text, const chronobel_state& state, HWND dialog) {
    HWND control = GetDlgItem(dialog, control_id);
    if (!control) return;
    const auto instance = static_cast<HINSTANCE>(state.h_instance);
    HWND tips = own_tooltip_window(dialog, instance);
    if (!tips) return;
    set_tool_text(tips, tool_for(control, instance), text);
    if (!IsWindowEnabled(control)) set_tool_text(tips, place_tool_for(control, instance), text);
}

void add_tooltips(const chronobel_state& state, HWND dialog, const ui_text_pair* table) {
    for (const ui_text_pair* pair = table; pair->ui_string != end_of_text_table; ++pair)
        add_tooltip(pair->control, state.ui_text(pair->ui_string), state, dialog);
}

}  // namespace orvane
