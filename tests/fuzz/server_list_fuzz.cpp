// The server list parser against a plain line-splitting model of the same
// rules.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>
#include "data/server_list_parser.h"

using namespace orvane;

namespace {

void check(bool holds) {
    if (!holds) __builtin_trap();
}

// Every line ended by CR that is no comment and holds 3 to 599 characters.
std::vector<std::string> model(std::string_view bytes) {
    std::vector<std::string> entries;
    std::string line;
    for (char c : bytes) {
        if (c == '\r') {
            if (line.find('#') == std::string::npos && line.size() >= 3 && line.size() <= server_line_max)
                entries.push_back(line);
            line.clear();
        } else if (c != '\n') {
            line += c;
        }
    }
    return entries;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> entries;
    server_list_parser parser;
    for (char c : bytes)
        if (parser.feed(c)) entries.emplace_back(parser.entry());
    check(entries == model(bytes));
    return 0;
}
