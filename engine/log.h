// The program's log, "dLog.txt" in the data directory.
#pragma once
#include <string_view>
#include "core/state.h"

namespace orvane {

constexpr std::uint64_t log_size_limit = 1024 * 1024;

// Appends one line: the local time stamp, two blanks, `message` directly
// followed by the engine's server_name, CR LF. A new log starts with UI
// string 104; a log past 1 MiB is moved to "dLog.old" first. Callers decide
// from the log switches whether an entry is written.
void write_log_entry(chronobel_state& state, std::string_view message);
// The same with a name other than the engine's server (the built-in servers
// name their client).
void write_log_line(chronobel_state& state, std::string_view message, std::string_view name);

}  // namespace orvane
