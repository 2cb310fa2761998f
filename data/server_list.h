// The editable list of time servers, "ServFile.txt".
#pragma once
#include <string>
#include "core/state.h"

namespace orvane {

inline constexpr wchar_t server_list_file_name[] = L"ServFile.txt";

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

// Makes sure data_dir holds a list: an existing one is kept; one beside the
// program (where older copies kept it) is moved there; else the built-in
// list is written. 0, or 5 (and server_list_unusable set) when none can be.
int write_default_server_list(chronobel_state& state);
// Reads the list afresh. n = 0: every entry into `view` (which may be null),
// in file order; n >= 1: entry n (numbered from 1) becomes the engine's
// server_name. 0; 4 when the file cannot be opened; 14 when it holds no
// entry or, for n >= 1, fewer than n (server_name is then unchanged).
int read_server_list(chronobel_state& state, server_list_view* view, unsigned n);
// How many entries the list holds now (0 when it cannot be read).
int count_server_list(chronobel_state& state);
// Rebuilds the options page's list (a null view fills nothing) and selects
// the current server in it (the first, when the list got shorter than the
// current server's place), notes whether the list is usable and, when it is
// not, moves "Use List" to "Manual A".
// Returns the result of read_server_list.
int refresh_server_list(chronobel_state& state, server_list_view* view);

}  // namespace orvane
