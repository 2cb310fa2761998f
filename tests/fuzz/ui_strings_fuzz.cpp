// The UI string parser against a plain line-splitting model of the same
// rules, fed whole and byte by byte.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>
#include "data/ui_strings_parser.h"

using namespace orvane;

namespace {

void check(bool holds) {
    if (!holds) __builtin_trap();
}

// The lines that take a slot, each cut to what a slot holds.
std::vector<std::string> model(std::string_view bytes, int count) {
    std::vector<std::string> stored;
    std::string line;
    auto end_line = [&] {
        if (static_cast<int>(stored.size()) < count && line.size() >= 2 && line.find('#') == std::string::npos)
            stored.push_back(line.substr(0, ui_text_max));
        line.clear();
    };
    for (char c : bytes) {
        if (c == '\r') end_line();
        else if (c != '\n') line += c;
    }
    end_line();
    return stored;
}

void check_table(const ui_table& table, const std::vector<std::string>& expected) {
    static const std::string empty;
    for (std::size_t n = 0; n < ui_string_count; ++n) {
        const std::string& text = n < expected.size() ? expected[n] : empty;
        const char* slot = table.bytes + n * ui_slot_size;
        check(std::memcmp(slot, text.data(), text.size()) == 0);
        for (std::size_t i = text.size(); i < ui_slot_size; ++i) check(slot[i] == 0);
    }
    for (std::size_t i = ui_string_count * ui_slot_size; i < sizeof table.bytes; ++i) check(table.bytes[i] == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    const auto whole = parse_ui_strings(bytes);
    check_table(*whole, model(bytes, ui_string_count));

    // Any count (the table holds at most 250); fed one byte at a time.
    const int count = static_cast<int>(size % 300) - 20;
    ui_table table;
    ui_strings_parser parser(table, count);
    for (char c : bytes) parser.feed({&c, 1});
    parser.finish();
    const auto expected = model(bytes, std::clamp(count, 0, ui_string_count));
    check(parser.stored() == static_cast<int>(expected.size()));
    check_table(table, expected);
    return 0;
}
