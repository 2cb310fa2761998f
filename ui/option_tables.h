// The data of the options pages: which controls each page has, the captions
// and tooltips they take from the UI string table, and the items of their
// lists.
#pragma once
#include <span>
#include "ui/text_table.h"

namespace orvane {

enum class option_page : int { servers = 0, automatic = 1, system = 2, misc = 3 };
constexpr int option_page_count = 4;

enum class control_kind { radio, check, list, number, address, date, button, label, group };

struct option_control {
    int id;
    control_kind kind;
};

// The page templates in the sheet's order, and each page's title.
int option_page_template(option_page page);
text_id option_page_title(option_page page);
// Every control of a page, in template order (the up-down controls aside).
std::span<const option_control> option_page_controls(option_page page);

// Captions: 46 pairs, then the end marker. Applied to every page; a pair
// whose control a page lacks is skipped.
extern const ui_text_pair option_label_table[];
// Tooltips: 48 pairs, one per control, then the end marker.
extern const ui_text_pair option_tooltip_table[];
constexpr int option_label_count = 46;
constexpr int option_tooltip_count = 48;

// One item of a list control: a UI string, or a literal where the item's
// text is not taken from the table (the protocol names).
struct list_item {
    text_id ui_string;
    const char* literal;
};
// The items of a list control, at their fixed positions (none for a control
// that is not one of the fixed lists).
std::span<const list_item> option_list_items(int list_id);

// The number boxes with their up-down controls, all ranged 0-99.
struct number_box {
    int edit;
    int updown;
};
extern const number_box option_number_boxes[4];
constexpr int number_box_low = 0;
constexpr int number_box_high = 99;

}  // namespace orvane
