#include "data/ui_strings_parser.h"
#include <algorithm>
#include <cstring>

namespace orvane {

ui_strings_parser::ui_strings_parser(ui_table& table, int count)
    : table_(table), count_(std::clamp(count, 0, ui_string_count)) {}

void ui_strings_parser::feed(std::string_view bytes) {
    for (char byte : bytes) take(byte);
}

void ui_strings_parser::take(char byte) {
    switch (byte) {
        case '\n': return;
        case '\r': end_line(); return;
        case '#': comment_ = true; return;
        default: break;
    }
    if (stored_ >= count_ || comment_) return;
    if (length_ < ui_text_max) slot()[length_] = byte;
    ++length_;
}

void ui_strings_parser::end_line() {
    if (stored_ < count_) {
        const std::size_t written = std::min(length_, ui_text_max);
        if (!comment_ && length_ >= 2) {
            slot()[written] = '\0';
            ++stored_;
        } else {
            // A line that takes no slot leaves nothing behind in it.
            std::memset(slot(), 0, written);
        }
    }
    length_ = 0;
    comment_ = false;
}

std::unique_ptr<ui_table> parse_ui_strings(std::string_view bytes, int count) {
    auto table = std::make_unique<ui_table>();
    ui_strings_parser parser(*table, count);
    parser.feed(bytes);
    parser.finish();
    return table;
}

}  // namespace orvane
