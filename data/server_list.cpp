#include "data/server_list.h"
#include <cstdint>
#include "core/paths.h"
#include "data/builtin_file.h"
#include "data/server_list_parser.h"
#include "sys/files.h"
#include "sys/resources.h"

namespace orvane {

int write_default_server_list(chronobel_state& state) {
    const std::wstring path = locate_data_file(state, server_list_file_name);
    if (open_for_reading(path, sharing::none).is_open()) return list_ok;  // an existing list is never touched
    if (write_builtin_file(resource_server_list, path)) return list_ok;
    server_list_unusable.store(1);
    return list_not_written;
}

int read_server_list(chronobel_state& state, server_list_view* view, unsigned n) {
    sys_file file = open_for_reading(locate_data_file(state, server_list_file_name), sharing::read);
    if (!file.is_open()) return list_unreadable;
    server_list_parser parser;
    std::uint64_t entries = 0;
    bool found = false;
    char chunk[4096];
    while (!found) {
        const std::size_t got = file.read(chunk, sizeof chunk);
        if (got == 0) break;
        for (std::size_t i = 0; i < got && !found; ++i) {
            if (!parser.feed(chunk[i])) continue;
            ++entries;
            if (n == 0) {
                if (view) view->insert(static_cast<int>(entries - 1), std::string(parser.entry()));
            } else if (entries == n) {
                state.engine.server_name = parser.entry();
                found = true;
            }
        }
    }
    return entries == 0 || (n >= 1 && !found) ? list_too_short : list_ok;
}

int refresh_server_list(chronobel_state& state, server_list_view* view) {
    if (view) view->clear();
    const int result = read_server_list(state, view, 0);
    if (result == list_ok) {
        server_list_unusable.store(0);
    } else {
        server_list_unusable.store(1);
        if (state.engine.server_source == source_list)
            change_query_inputs(state.engine, [](query_engine& e) { e.server_source = source_manual_a; });
    }
    if (view) view->select(state.engine.server_index);
    return result;
}

}  // namespace orvane
