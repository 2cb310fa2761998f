#include "core/state.h"
#include <cstring>
#include "sys/clock.h"
#include "sys/timezone.h"

namespace orvane {

std::shared_ptr<chronobel_state> g_state;

std::atomic<std::int32_t> status_refresh_ms{100};
std::atomic<std::int32_t> window_mode{window_shown};
std::uint8_t time_privilege_held = 0;
std::uint8_t started_silent = 0;
std::atomic<std::uint8_t> running_as_service{0};
std::uint8_t options_sheet_open = 0;
std::atomic<std::uint8_t> server_list_unusable{0};
std::uint32_t taskbar_created_msg = 0;
wchar_t class_name_buffer[100] = {};

chronobel_state::chronobel_state() { settings.record_size = settings_record_size; }

// No thread holds the state any more, so no one can signal its events.
chronobel_state::~chronobel_state() {
    close_event(worker_event);
    close_event(service_stop_event);
}

const char* chronobel_state::ui_text(int n) const {
    static const ui_table empty_table;
    const ui_table* table = ui_strings.load(std::memory_order_acquire);
    return (table ? table : &empty_table)->text(n);
}

void chronobel_state::publish_ui_table(std::unique_ptr<ui_table> table) {
    ui_strings.store(table.get(), std::memory_order_release);
    ui_tables_.push_back(std::move(table));
}

void create_state() {
    g_state = std::make_shared<chronobel_state>();
}

void set_default_date_range(query_engine& engine) {
    filetime local = 0;
    system_time_to_filetime(local_time_now(), local);
    engine.date_after = make_filetime(high_word(local) - 6119, low_word(local));
    engine.date_before = make_filetime(high_word(local) + 73426, low_word(local));
}

void apply_default_settings(chronobel_state& state) {
    state.extras = extra_settings{};
    settings_record& s = state.settings;
    s.on_windows_start = 0;
    s.offset_direction = 0;
    s.offset_amount = 0;
    s.on_program_start = 0;
    s.default_server_only = 0;
    s.tray = 1;
    s.average = 0;
    s.on_top = 0;
    s.autosync_enabled = 1;
    s.time_server_enabled = 0;
    s.resident = 0;
    s.minor = 0;
    s.start_minimised = 0;
    s.sync_timeout_s = 15;
    s.autosync_count = 4;
    s.autosync_unit = 1;
    s.locked_time_zone = current_time_zone();
    s.time_zone_locked = 0;
    s.log_old_time = 0;
    s.log_checks = 0;
    s.log_disabled = 0;
    s.log_syncs = 1;
    s.log_errors = 1;
    s.log_server = 1;
    s.log_response = 1;
    s.log_correction = 1;
    s.autocheck_enabled = 0;
    s.autocheck_count = 4;
    s.autocheck_unit = 1;
    s.offset_multiplier = 1;
    // The engine's part as one change: the options sheet resets while a
    // query may be starting.
    change_query_inputs(state.engine, [](query_engine& e) {
        // Two public time servers that answer both TIME and SNTP.
        e.manual_a = "129.6.15.28";
        e.manual_b = "132.163.97.1";
        e.server_source = source_list;
        e.server_index = 0;
        e.date_range_enabled = 1;
        e.protocol = protocol_auto;
        e.date_range_auto_reset = 1;
        set_default_date_range(e);
    });
}

}  // namespace orvane
