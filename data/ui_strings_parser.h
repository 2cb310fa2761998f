// Turns the bytes of a UI string file into table slots, one byte at a time.
#pragma once
#include <memory>
#include <string_view>
#include "core/ui_table.h"

namespace orvane {

// Longest text a slot holds; a longer line keeps its first 99 characters.
constexpr std::size_t ui_text_max = ui_slot_size - 1;

// A line ends at CR; LF is dropped wherever it stands; a line holding "#" is
// a comment; a line of fewer than two characters takes no slot. So line N of
// the file, counting only the lines that take a slot, becomes UI string N.
class ui_strings_parser {
public:
    // Fills `table`, which must start zero-filled, with at most `count` lines
    // (clamped to the table's size).
    ui_strings_parser(ui_table& table, int count);

    void feed(std::string_view bytes);
    // The end of the input: a last line without CR counts as if CR ended it.
    void finish() { end_line(); }
    int stored() const { return stored_; }

private:
    void take(char byte);
    void end_line();
    char* slot() { return table_.bytes + static_cast<std::size_t>(stored_) * ui_slot_size; }

    ui_table& table_;
    int count_;
    int stored_ = 0;
    std::size_t length_ = 0;  // characters of the current line, cut ones included
    bool comment_ = false;
};

// A whole file's bytes as a fresh table.
std::unique_ptr<ui_table> parse_ui_strings(std::string_view bytes, int count = ui_string_count);

}  // namespace orvane
