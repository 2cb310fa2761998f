// Tables that give a window's controls their texts: pairs of a UI string
// number and a control id, ended by a pair whose number is end_of_text_table.
#pragma once
#include "core/text_id.h"

namespace orvane {

struct ui_text_pair {
    text_id ui_string;
    int control;
};

constexpr text_id end_of_text_table = static_cast<text_id>(9999);

}  // namespace orvane
