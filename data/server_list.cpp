#include "data/server_list.h"
#include <cstdint>
#include <string>
#include <vector>
#include "core/paths.h"
#include "data/builtin_file.h"
#include "data/server_list_parser.h"
#include "sys/files.h"
#include "sys/resources.h"

namespace orvane {
namespace {

// Counts the entries, passing them on to the view it shows them in, if any.
struct entry_counter final : server_list_view {
    server_list_view* shown = nullptr;
    int entries = 0;
    void clear() override {}
    void insert(int position, const std::string& entry) override {
        ++entries;
        if (shown) shown->insert(position, entry);
    }
    void select(int) override {}
};

// The administrator's list takes the place of the file, entry for entry.
int read_policy_servers(chronobel_state& state, const std::vector<std::string>& servers, server_list_view* view,
                        unsigned n) {
    if (n == 0) {
        if (view)
            for (std::size_t i = 0; i < servers.size(); ++i) view->insert(static_cast<int>(i), servers[i]);
        return servers.empty() ? list_too_short : list_ok;
    }
    if (n > servers.size()) return list_too_short;
    state.engine.server_name = servers[n - 1];
    return list_ok;
}

}  // namespace

int write_default_server_list(chronobel_state& state) {
    const std::wstring path = join_path(state.data_dir(), server_list_file_name);
    if (open_for_reading(path, sharing::none).is_open()) return list_ok;  // an existing list is never touched
    // Older copies kept the list beside the program, where its users may not
    // write: it moves to the data folder with the other files. (The service
    // takes nothing from the program's folder.)
    if (!state.data_dir_only && state.data_dir() != state.program_dir()) {
        const std::wstring beside = join_path(state.program_dir(), server_list_file_name);
        if (copy_file_replacing(beside, path)) {
            delete_file(beside);  // fails where its user may not write there; the copy is theirs all the same
            return list_ok;
        }
    }
    if (write_builtin_file(resource_server_list, path)) return list_ok;
    server_list_unusable.store(1);
    return list_not_written;
}

int read_server_list(chronobel_state& state, server_list_view* view, unsigned n) {
    if (state.policy.servers) return read_policy_servers(state, *state.policy.servers, view, n);
    sys_file file = open_for_reading(locate_data_file(state, server_list_file_name), sharing::read);
    if (!file.is_open()) return list_unreadable;
    server_list_parser parser;
    std::uint64_t entries = 0;
    bool found = false;
    auto take_entry = [&] {
        ++entries;
        if (n == 0) {
            if (view) view->insert(static_cast<int>(entries - 1), std::string(parser.entry()));
        } else if (entries == n) {
            state.engine.server_name = parser.entry();
            found = true;
        }
    };
    char chunk[4096];
    bool at_end = false;
    while (!found && !at_end) {
        const std::size_t got = file.read(chunk, sizeof chunk);
        at_end = got == 0;
        for (std::size_t i = 0; i < got && !found; ++i)
            if (parser.feed(chunk[i])) take_entry();
    }
    if (at_end && parser.finish()) take_entry();
    return entries == 0 || (n >= 1 && !found) ? list_too_short : list_ok;
}

int count_server_list(chronobel_state& state) {
    entry_counter counter;
    read_server_list(state, &counter, 0);
    return counter.entries;
}

int refresh_server_list(chronobel_state& state, server_list_view* view) {
    entry_counter counted;
    counted.shown = view;
    if (view) view->clear();
    const int result = read_server_list(state, &counted, 0);
    query_engine& e = state.engine;
    change_query_inputs(e, [&](query_engine& locked) {
        if (result == list_ok) {
            server_list_unusable.store(0);
            // A list that got shorter: its first entry, as the next query takes it.
            if (locked.server_index >= counted.entries) locked.server_index = 0;
        } else {
            server_list_unusable.store(1);
            if (locked.server_source == source_list) locked.server_source = source_manual_a;
        }
    });
    if (view) view->select(e.server_index);
    return result;
}

}  // namespace orvane
