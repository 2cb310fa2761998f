// The block that holds the UI string table: 250 slots of 100 bytes, each a
// zero-terminated text of at most 99 characters, with 250 spare zero bytes
// behind the last slot.
#pragma once
#include <cstddef>

namespace orvane {

constexpr int ui_string_count = 250;
constexpr std::size_t ui_slot_size = 100;

struct ui_table {
    char bytes[ui_string_count * 101] = {};

    // UI string n; the empty string for a number outside the table.
    const char* text(int n) const {
        return n >= 0 && n < ui_string_count ? bytes + static_cast<std::size_t>(n) * ui_slot_size : bytes + sizeof bytes - 1;
    }
};
static_assert(sizeof(ui_table) == 25250);

}  // namespace orvane
