#include "ui/option_page_win32.h"
#include <commctrl.h>
#include <cstdio>
#include <string>
#include "ui/win32/controls_win32.h"
#include "ui/win32/tooltips_win32.h"

namespace orvane {

bool win32_option_page::has(int id) const { return GetDlgItem(page_, id) != nullptr; }

bool win32_option_page::checked(int id) const { return is_checked(page_, id); }

void win32_option_page::set_checked(int id, bool on) { orvane::set_checked(page_, id, on); }

// Digits only (the box takes nothing else); a number too long for 32 bits
// reads as the largest one, so that it is clamped like any big number.
std::uint32_t win32_option_page::number(int id) const {
    char text[64] = {};
    GetDlgItemTextA(page_, id, text, static_cast<int>(sizeof text));
    std::uint64_t value = 0;
    for (const char* c = text; *c >= '0' && *c <= '9'; ++c) {
        value = value * 10 + static_cast<std::uint64_t>(*c - '0');
        if (value > 0xFFFFFFFFu) return 0xFFFFFFFFu;
    }
    return static_cast<std::uint32_t>(value);
}

void win32_option_page::set_number(int id, std::uint32_t value) { SetDlgItemInt(page_, id, value, FALSE); }

int win32_option_page::selection(int id) const {
    const LRESULT position = SendDlgItemMessageA(page_, id, CB_GETCURSEL, 0, 0);
    return position == CB_ERR ? -1 : static_cast<int>(position);
}

void win32_option_page::set_selection(int id, int position) {
    SendDlgItemMessageA(page_, id, CB_SETCURSEL, static_cast<WPARAM>(position), 0);
}

void win32_option_page::clear_items(int id) { SendDlgItemMessageA(page_, id, CB_RESETCONTENT, 0, 0); }

void win32_option_page::insert_item(int id, int position, const std::string& text) {
    SendDlgItemMessageA(page_, id, CB_INSERTSTRING, static_cast<WPARAM>(position),
                        reinterpret_cast<LPARAM>(text.c_str()));
}

// An IP-address control as dotted text; a blank control reads "".
std::string win32_option_page::address(int id) const {
    DWORD value = 0;
    if (SendDlgItemMessageA(page_, id, IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&value)) == 0) return {};
    return std::to_string(FIRST_IPADDRESS(value)) + '.' + std::to_string(SECOND_IPADDRESS(value)) + '.' +
           std::to_string(THIRD_IPADDRESS(value)) + '.' + std::to_string(FOURTH_IPADDRESS(value));
}

// Text that is not a dotted IPv4 address leaves the control blank.
void win32_option_page::set_address(int id, const std::string& text) {
    unsigned a = 0, b = 0, c = 0, d = 0;
    char extra = 0;
    if (std::sscanf(text.c_str(), "%3u.%3u.%3u.%3u%c", &a, &b, &c, &d, &extra) == 4 && a < 256 && b < 256 &&
        c < 256 && d < 256)
        SendDlgItemMessageA(page_, id, IPM_SETADDRESS, 0, static_cast<LPARAM>(MAKEIPADDRESS(a, b, c, d)));
    else
        SendDlgItemMessageA(page_, id, IPM_CLEARADDRESS, 0, 0);
}

// The pickers hold local time; the filetimes are local-time filetimes, so
// the conversion is only one of layout.
filetime win32_option_page::date(int id) const {
    SYSTEMTIME picked{};
    if (SendDlgItemMessageA(page_, id, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&picked)) != GDT_VALID) return 0;
    FILETIME value{};
    if (!SystemTimeToFileTime(&picked, &value)) return 0;
    return (static_cast<filetime>(value.dwHighDateTime) << 32) | value.dwLowDateTime;
}

void win32_option_page::set_date(int id, filetime value) {
    const FILETIME t{static_cast<DWORD>(value), static_cast<DWORD>(value >> 32)};
    SYSTEMTIME shown{};
    if (FileTimeToSystemTime(&t, &shown))
        SendDlgItemMessageA(page_, id, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&shown));
}

void win32_option_page::enable(int id, bool enabled) { enable_control(page_, id, enabled); }

void win32_option_page::set_caption(int id, const std::string& text) { set_control_text(page_, id, text); }

void win32_option_page::set_tooltip(int id, const std::string& text) { add_tooltip(id, text, state_, page_); }

void win32_option_page::set_shield(int id, bool shown) {
    SendDlgItemMessageA(page_, id, BCM_SETSHIELD, 0, shown ? 1 : 0);
}

void win32_option_page::start_service_timer() { SetTimer(page_, service_refresh_timer, 1000, nullptr); }

void set_number_box_ranges(HWND page) {
    for (const number_box& box : option_number_boxes)
        if (HWND updown = GetDlgItem(page, box.updown))
            SendMessageA(updown, UDM_SETRANGE32, number_box_low, number_box_high);
}

}  // namespace orvane
