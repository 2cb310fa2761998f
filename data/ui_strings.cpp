#include "data/ui_strings.h"
#include "core/paths.h"
#include "data/builtin_file.h"
#include "data/ui_strings_parser.h"
#include "sys/files.h"
#include "sys/resources.h"

namespace orvane {

namespace {

sys_file open_ui_strings_file(chronobel_state& state, const std::wstring& file_name) {
    const std::wstring in_data_dir = join_path(state.data_dir(), file_name);
    if (sys_file file = open_for_reading(in_data_dir, sharing::none); file.is_open()) return file;
    if (!state.data_dir_only)
        if (sys_file file = open_for_reading(join_path(state.program_dir(), file_name), sharing::none); file.is_open())
            return file;
    if (write_default_ui_strings(state, file_name) != ui_strings_ok) return {};
    return open_for_reading(in_data_dir, sharing::none);
}

}  // namespace

void load_ui_strings(chronobel_state& state, int count, const std::wstring& file_name) {
    // Readers on other threads keep the old table until the new one is whole.
    auto table = std::make_unique<ui_table>();
    if (sys_file file = open_ui_strings_file(state, file_name); file.is_open()) {
        ui_strings_parser parser(*table, count);
        char chunk[4096];
        while (std::size_t got = file.read(chunk, sizeof chunk)) parser.feed({chunk, got});
        parser.finish();
    }
    state.publish_ui_table(std::move(table));
}

int write_default_ui_strings(chronobel_state& state, const std::wstring& file_name) {
    return write_builtin_file(resource_ui_strings, join_path(state.data_dir(), file_name)) ? ui_strings_ok
                                                                                           : ui_strings_not_written;
}

int reset_ui_strings(chronobel_state& state) {
    const int written = write_default_ui_strings(state, ui_strings_file_name);
    load_ui_strings(state, ui_string_count, ui_strings_file_name);
    return written;
}

}  // namespace orvane
