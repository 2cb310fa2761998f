// The editable list of time servers, "ServFile.txt".
#pragma once
#include <string>
#include "core/state.h"

namespace orvane {

// Where the options page shows the list (its combo box); the page implements it.
class server_list_view {
public:
    virtual ~server_list_view() = default;
    virtual void clear() = 0;
    virtual void insert(int position, const std::string& entry) = 0;
    virtual void select(int position) = 0;
};

// Result codes of the list operations.
enum server_list_result : int { list_ok = 0, list_unreadable = 4, list_not_written = 5, list_too_short = 14 };

// Writes the built-in list where locate_data_file points, unless a list exists.
int write_default_server_list(chronobel_state& state);
// n = 0: every entry into `view` (which may be null); n >= 1: entry n becomes
// the engine's server_name.
int read_server_list(chronobel_state& state, server_list_view* view, unsigned n);
// Rebuilds the options page's list and notes whether the list is usable.
int refresh_server_list(chronobel_state& state, server_list_view* view);

}  // namespace orvane
