#include "core/extra_settings.h"
#include "core/paths.h"
#include "sys/files.h"

namespace orvane {
namespace {

// A file larger than this is not ours to keep: it is read as missing.
constexpr std::size_t extra_file_limit = 64 * 1024;

struct extra_entry {
    const char* name;
    std::uint8_t extra_settings::*flag;
};
constexpr extra_entry extra_entries[] = {
    {"balloons", &extra_settings::balloons},
};

std::string_view trimmed(std::string_view text) {
    constexpr std::string_view blanks = " \t\r";
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// The entry a "name=value" line sets, or null.
const extra_entry* entry_of(std::string_view line, std::string_view& value) {
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) return nullptr;
    const std::string_view name = trimmed(line.substr(0, equals));
    for (const extra_entry& e : extra_entries) {
        if (name == e.name) {
            value = trimmed(line.substr(equals + 1));
            return &e;
        }
    }
    return nullptr;
}

// Calls `each` with every line, without its line end.
template <typename F>
void for_each_line(std::string_view text, F each) {
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        each(line);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
}

}  // namespace

extra_settings extra_settings_from_text(std::string_view text) {
    extra_settings settings;
    for_each_line(text, [&](std::string_view line) {
        std::string_view value;
        const extra_entry* e = entry_of(line, value);
        if (e && (value == "0" || value == "1")) settings.*(e->flag) = value == "1" ? 1 : 0;
    });
    return settings;
}

std::string extra_settings_text(const extra_settings& settings, std::string_view old_text) {
    std::string text;
    bool written[std::size(extra_entries)] = {};
    auto write = [&](const extra_entry& e) {
        written[&e - extra_entries] = true;
        text += e.name;
        text += settings.*(e.flag) ? "=1\r\n" : "=0\r\n";
    };
    for_each_line(old_text, [&](std::string_view line) {
        std::string_view value;
        if (const extra_entry* e = entry_of(line, value)) {
            // A setting given twice is written once, where it first stood.
            if (!written[e - extra_entries]) write(*e);
            return;
        }
        text.append(line);
        text += "\r\n";
    });
    for (const extra_entry& e : extra_entries)
        if (!written[&e - extra_entries]) write(e);
    return text;
}

namespace {

// The file's text, or empty when it is missing, unreadable or too large.
std::string read_extra_file(const std::wstring& path) {
    sys_file file = open_for_reading(path, sharing::read);
    if (!file.is_open()) return {};
    std::string text(extra_file_limit + 1, '\0');
    std::size_t got = 0;
    while (got < text.size()) {
        const std::size_t n = file.read(text.data() + got, text.size() - got);
        if (n == 0) break;
        got += n;
    }
    if (got > extra_file_limit) return {};
    text.resize(got);
    return text;
}

}  // namespace

extra_settings load_extra_settings(const std::wstring& directory) {
    return extra_settings_from_text(read_extra_file(join_path(directory, extra_settings_file_name)));
}

bool save_extra_settings(const extra_settings& settings, const std::wstring& directory) {
    const std::wstring path = join_path(directory, extra_settings_file_name);
    const std::string text = extra_settings_text(settings, read_extra_file(path));
    return write_file_replacing(path, text.data(), text.size());
}

}  // namespace orvane
