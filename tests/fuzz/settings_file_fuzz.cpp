// The settings-file loader with any bytes: whatever it accepts is brought
// into the ranges the program works with, and saving and loading that
// again gives back the same settings.
#include <stdlib.h>
#include <unistd.h>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>
#include "core/settings_file.h"

using namespace orvane;

namespace {

void check(bool holds) {
    if (!holds) __builtin_trap();
}

bool flag(std::uint8_t v) { return v == 0 || v == 1; }

void check_safe(const chronobel_state& state) {
    const settings_record& s = state.settings;
    const query_engine& e = state.engine;
    check(s.record_size == settings_record_size);
    check(s.sync_timeout_s >= 5 && s.sync_timeout_s <= 99);
    check(s.autosync_count >= 1 && s.autosync_count <= 99 && s.autocheck_count >= 1 && s.autocheck_count <= 99);
    check(s.offset_amount >= 0 && s.offset_amount <= 99);
    for (std::int32_t v : {s.autosync_unit, s.autocheck_unit, s.offset_multiplier, s.on_windows_start,
                           s.on_program_start, e.protocol, e.server_source})
        check(v >= 0 && v <= 2);
    check(s.offset_direction == 0 || s.offset_direction == 1);
    check(e.server_index >= 0);
    for (std::uint8_t v : {s.default_server_only, s.tray, s.average, s.on_top, s.autosync_enabled,
                           s.autocheck_enabled, s.time_server_enabled, s.resident, s.minor, s.start_minimised,
                           s.time_zone_locked, s.log_old_time, s.log_checks, s.log_disabled, s.log_syncs,
                           s.log_errors, s.log_server, s.log_response, s.log_correction, s.transparent,
                           e.date_range_enabled, e.date_range_auto_reset})
        check(flag(v));
    check(e.date_after != 0 && e.date_before != 0 && e.date_after <= e.date_before);
    check(e.manual_a.size() <= 31 && e.manual_b.size() <= 31);
}

// A directory of this process for the saved copy.
const std::wstring& save_directory() {
    static const std::wstring directory = [] {
        char pattern[] = "/tmp/settings-fuzz-XXXXXX";
        const char* made = mkdtemp(pattern);
        if (!made) __builtin_trap();
        const std::string narrow = std::string(made) + "/";
        return std::wstring(narrow.begin(), narrow.end());
    }();
    return directory;
}

}  // namespace

// Input: the file's bytes. When it is longer than a file, the byte after
// the file decides whether the size field is made right, so that the
// fuzzer reaches the accepted records without first finding it.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<unsigned char> bytes(data, data + size);
    if (size > settings_file_size && (bytes[settings_file_size] & 1)) {
        const std::uint32_t record_size = settings_record_size;
        std::memcpy(&bytes[sizeof settings_magic + offsetof(settings_record, record_size)], &record_size, 4);
    }
    chronobel_state loaded;
    settings_from_bytes(loaded, bytes.data(), bytes.size());
    check_safe(loaded);
    if (size < settings_file_size) return 0;
    settings_record read;
    std::memcpy(&read, &bytes[sizeof settings_magic], sizeof read);
    if (read.record_size != settings_record_size) return 0;
    // An accepted record keeps the time zone it names, byte for byte, and
    // comes back the same from its own file.
    check(std::memcmp(&read.locked_time_zone, &loaded.settings.locked_time_zone, sizeof read.locked_time_zone) == 0);

    save_settings(loaded, save_directory());
    chronobel_state again;
    again.data_path.directory = save_directory();
    load_settings(again);
    check(std::memcmp(&again.settings, &loaded.settings, sizeof loaded.settings) == 0);
    const query_engine &a = again.engine, &b = loaded.engine;
    check(a.protocol == b.protocol && a.server_source == b.server_source && a.server_index == b.server_index);
    check(a.manual_a == b.manual_a && a.manual_b == b.manual_b);
    check(a.date_after == b.date_after && a.date_before == b.date_before);
    check(a.date_range_enabled == b.date_range_enabled && a.date_range_auto_reset == b.date_range_auto_reset);
    return 0;
}
