#include "engine/log.h"
#include <mutex>
#include <string>
#include "core/paths.h"
#include "sys/clock.h"
#include "sys/files.h"

namespace orvane {
namespace {

// The worker, the query thread and the servers all log; one line at a time.
std::mutex g_log_mutex;

}  // namespace

void write_log_line(chronobel_state& state, std::string_view message, std::string_view name) {
    const std::wstring path = join_path(state.data_dir(), L"dLog.txt");
    std::string line = date_time_text(local_time_now());
    line += "  ";
    line += message;
    line += name;
    line += "\r\n";

    std::lock_guard<std::mutex> lock(g_log_mutex);
    std::int64_t size = file_size(path);
    if (size >= 0 && static_cast<std::uint64_t>(size) + line.size() > log_size_limit) {
        replace_file(path, join_path(state.data_dir(), L"dLog.old"));
        size = -1;
    }
    sys_file log = open_for_append(path);
    if (!log.is_open()) return;
    if (size <= 0) {
        std::string heading = state.ui_text(text_id::log_heading);
        heading += "\r\n";
        log.write(heading.data(), heading.size());
    }
    log.write(line.data(), line.size());
}

void write_log_entry(chronobel_state& state, std::string_view message) {
    write_log_line(state, message, state.engine.server_name);
}

}  // namespace orvane
