#include "core/settings_file.h"
#include <algorithm>
#include <cstring>
#include "core/extra_settings.h"
#include "core/paths.h"
#include "core/policy.h"
#include "sys/files.h"

namespace orvane {
namespace {

const wchar_t settings_file_name[] = L"dSync.dat";

// Copies a text into a fixed field, always leaving a terminating zero.
void copy_bounded(char (&field)[32], const std::string& text) {
    std::memset(field, 0, sizeof field);
    std::memcpy(field, text.data(), std::min(text.size(), sizeof field - 1));
}

std::string text_of(const char (&field)[32]) { return std::string(field, strnlen(field, sizeof field)); }

void refresh_record_from_engine(chronobel_state& state) {
    settings_record& s = state.settings;
    const query_engine& e = state.engine;
    s.saved_server_source = e.server_source;
    s.saved_protocol = e.protocol;
    s.saved_server_index = e.server_index;
    copy_bounded(s.saved_manual_a, e.manual_a);
    copy_bounded(s.saved_manual_b, e.manual_b);
    s.saved_date_range_enabled = e.date_range_enabled;
    s.saved_date_range_auto_reset = e.date_range_auto_reset;
    // Each bound read once, whole: a query may widen it meanwhile.
    const filetime before = e.date_before, after = e.date_after;
    s.saved_date_before[0] = low_word(before);
    s.saved_date_before[1] = high_word(before);
    s.saved_date_after[0] = low_word(after);
    s.saved_date_after[1] = high_word(after);
}

void copy_record_to_engine(chronobel_state& state) {
    const settings_record& s = state.settings;
    query_engine& e = state.engine;
    e.protocol = s.saved_protocol;
    e.server_index = s.saved_server_index;
    e.server_source = s.saved_server_source;
    e.manual_a = text_of(s.saved_manual_a);
    e.manual_b = text_of(s.saved_manual_b);
    e.date_range_enabled = s.saved_date_range_enabled;
    e.date_range_auto_reset = s.saved_date_range_auto_reset;
    e.date_before = make_filetime(s.saved_date_before[1], s.saved_date_before[0]);
    e.date_after = make_filetime(s.saved_date_after[1], s.saved_date_after[0]);
}

void use_defaults(chronobel_state& state) {
    apply_default_settings(state);
    state.settings.record_size = settings_record_size;
}

std::int32_t clamp_to(std::int32_t value, std::int32_t low, std::int32_t high) {
    return std::clamp(value, low, high);
}
// An enumeration outside its values takes its default.
std::int32_t choice_or(std::int32_t value, std::int32_t count, std::int32_t fallback) {
    return value >= 0 && value < count ? value : fallback;
}
void as_flag(std::uint8_t& flag) { flag = flag ? 1 : 0; }

}  // namespace

void make_settings_safe(chronobel_state& state) {
    settings_record& s = state.settings;
    query_engine& e = state.engine;
    s.sync_timeout_s = clamp_to(s.sync_timeout_s, 5, 99);
    s.autosync_count = clamp_to(s.autosync_count, 1, 99);
    s.autocheck_count = clamp_to(s.autocheck_count, 1, 99);
    s.offset_amount = clamp_to(s.offset_amount, 0, 99);
    s.autosync_unit = choice_or(s.autosync_unit, 3, 1);
    s.autocheck_unit = choice_or(s.autocheck_unit, 3, 1);
    s.offset_multiplier = choice_or(s.offset_multiplier, 3, 1);
    s.offset_direction = choice_or(s.offset_direction, 2, 0);
    s.on_windows_start = choice_or(s.on_windows_start, 3, 0);
    s.on_program_start = choice_or(s.on_program_start, 3, 0);
    e.protocol = choice_or(e.protocol, 3, protocol_auto);
    e.server_source = choice_or(e.server_source, 3, source_list);
    e.server_index = std::max(e.server_index, 0);
    // A field without its terminating zero: what a field can hold.
    for (std::string* address : {&e.manual_a, &e.manual_b})
        if (address->size() >= sizeof s.saved_manual_a) address->resize(sizeof s.saved_manual_a - 1);
    for (std::uint8_t* flag : {&s.default_server_only, &s.tray, &s.average, &s.on_top, &s.autosync_enabled,
                               &s.autocheck_enabled, &s.time_server_enabled, &s.resident, &s.minor,
                               &s.start_minimised, &s.time_zone_locked, &s.log_old_time, &s.log_checks,
                               &s.log_disabled, &s.log_syncs, &s.log_errors, &s.log_server, &s.log_response,
                               &s.log_correction, &s.transparent, &e.date_range_enabled,
                               &e.date_range_auto_reset})
        as_flag(*flag);
    // A zero bound or a range that ends before it begins was never chosen
    // on the options page: the default range instead.
    const filetime after = e.date_after, before = e.date_before;
    if (after == 0 || before == 0 || before < after) set_default_date_range(e);
}

void put_policy_on_top(chronobel_state& state) {
    refresh_record_from_engine(state);
    state.user_settings = state.settings;
    apply_policy(state.policy, state.settings, state.engine);
}

bool save_settings(chronobel_state& state, const std::wstring& directory) {
    refresh_record_from_engine(state);
    // What a policy overrides is not the user's choice: their own value is kept.
    settings_record record = state.settings;
    keep_user_choices(state.policy, state.user_settings, record);
    state.user_settings = record;
    unsigned char bytes[settings_file_size];
    std::memcpy(bytes, settings_magic, sizeof settings_magic);
    std::memcpy(bytes + sizeof settings_magic, &record, sizeof record);
    // Whole or not at all: a save cut short leaves the old settings whole.
    return write_file_replacing(join_path(directory, settings_file_name), bytes, sizeof bytes) &&
           save_extra_settings(state.extras, directory);
}

namespace {

void load_dsync_file(chronobel_state& state) {
    sys_file file = open_for_reading(join_path(state.data_dir(), settings_file_name), sharing::none);
    if (!file.is_open()) {
        use_defaults(state);
        return;
    }
    unsigned char bytes[settings_file_size + 1];
    std::size_t got = 0;
    while (got < sizeof bytes) {
        std::size_t n = file.read(bytes + got, sizeof bytes - got);
        if (n == 0) break;
        got += n;
    }
    settings_from_bytes(state, bytes, got);
}

}  // namespace

void load_settings(chronobel_state& state) {
    load_dsync_file(state);
    state.extras = load_extra_settings(state.data_dir());
}

void settings_from_bytes(chronobel_state& state, const unsigned char* bytes, std::size_t size) {
    // The magic is not examined: only the size field tells the layout.
    settings_record read{};
    if (size >= settings_file_size) std::memcpy(&read, bytes + sizeof settings_magic, sizeof read);
    if (size < settings_file_size || read.record_size != settings_record_size) {
        use_defaults(state);
        return;
    }
    state.settings = read;
    copy_record_to_engine(state);
    make_settings_safe(state);
}

}  // namespace orvane
