// Picks the entries out of the bytes of a server list, one byte at a time.
#pragma once
#include <cstddef>
#include <string_view>

namespace orvane {

// Longest entry; a line of 600 characters or more is not an entry.
constexpr std::size_t server_line_max = 599;

// A line ends at CR, and the last line at the end of the bytes; LF is
// dropped wherever it stands; a line holding "#" is a comment; a line of
// fewer than three characters is no entry. Entries are taken exactly as
// written.
class server_list_parser {
public:
    // Takes one byte; true when it completed an entry, which entry() then
    // holds until the next byte.
    bool feed(char byte);
    // The end of the bytes: true when the last line, without its CR,
    // completed an entry (a user's last line typed without Enter).
    bool finish() { return feed('\r'); }
    std::string_view entry() const { return {line_, entry_length_}; }

private:
    char line_[server_line_max];
    std::size_t length_ = 0;  // characters of the current line, cut ones included
    std::size_t entry_length_ = 0;
    bool comment_ = false;
};

}  // namespace orvane
