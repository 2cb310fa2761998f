#include "data/server_list_parser.h"

namespace orvane {

bool server_list_parser::feed(char byte) {
    switch (byte) {
        case '\n': return false;
        case '#': comment_ = true; return false;
        case '\r': {
            const bool is_entry = !comment_ && length_ >= 3 && length_ <= server_line_max;
            if (is_entry) entry_length_ = length_;
            length_ = 0;
            comment_ = false;
            return is_entry;
        }
        default:
            if (length_ < server_line_max) line_[length_] = byte;
            ++length_;
            return false;
    }
}

}  // namespace orvane
