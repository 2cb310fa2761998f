// Tables that give a window's controls their texts: pairs of a UI string
// number and a control id, ended by a pair whose number is end_of_text_table.
#pragma once

namespace orvane {

struct ui_text_pair {
    int ui_string;
    int control;
};

constexpr int end_of_text_table = 9999;

}  // namespace orvane
