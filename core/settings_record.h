// The persistent settings: a packed little-endian record of 332 bytes, kept
// byte for byte in "dSync.dat" behind the magic "SYNC2000".
#pragma once
#include <cstddef>
#include <cstdint>
#include "sys/timezone.h"

namespace orvane {

constexpr std::uint32_t settings_record_size = 332;

#pragma pack(push, 1)
struct settings_record {
    std::int32_t on_windows_start;      // 0 nothing, 1 auto start, 2 auto start, sync, exit
    std::int32_t offset_direction;      // 0 add, 1 subtract
    std::int32_t offset_amount;         // 0..99 units of offset_multiplier
    std::int32_t saved_server_source;   // engine copy: 0 list, 1 Manual A, 2 Manual B
    std::int32_t on_program_start;      // as on_windows_start
    std::int32_t sync_timeout_s;        // 5..99
    std::int32_t autosync_count;        // 1..99
    std::int32_t autosync_unit;         // 0 minutes, 1 hours, 2 days
    std::int32_t autocheck_count;       // 1..99
    std::int32_t autocheck_unit;        // 0 minutes, 1 hours, 2 days
    std::int32_t offset_multiplier;     // 0 seconds, 1 minutes, 2 hours
    std::int32_t saved_protocol;        // engine copy: 0 TIME, 1 SNTP, 2 Auto
    std::int32_t saved_server_index;    // engine copy
    std::uint32_t record_size;          // always 332
    std::uint8_t default_server_only;
    std::uint8_t tray;
    std::uint8_t average;
    std::uint8_t on_top;
    std::uint8_t autosync_enabled;
    std::uint8_t autocheck_enabled;
    std::uint8_t time_server_enabled;
    std::uint8_t resident;
    std::uint8_t saved_date_range_enabled;  // engine copy
    std::uint8_t minor;
    std::uint8_t start_minimised;
    std::uint8_t time_zone_locked;
    std::uint8_t log_old_time;
    std::uint8_t log_checks;
    std::uint8_t log_disabled;
    std::uint8_t log_syncs;
    std::uint8_t log_errors;
    std::uint8_t log_server;
    std::uint8_t log_response;
    std::uint8_t log_correction;
    std::uint8_t saved_date_range_auto_reset;  // engine copy
    std::uint8_t transparent;
    char saved_manual_a[32];            // engine copy, zero-terminated
    char saved_manual_b[32];            // engine copy, zero-terminated
    std::uint8_t padding[2];
    time_zone_information locked_time_zone;
    std::uint32_t saved_date_after[2];  // FILETIME, low word first
    std::uint32_t saved_date_before[2]; // FILETIME, low word first
};
#pragma pack(pop)

static_assert(sizeof(settings_record) == settings_record_size);
static_assert(offsetof(settings_record, on_windows_start) == 0);
static_assert(offsetof(settings_record, offset_direction) == 4);
static_assert(offsetof(settings_record, offset_amount) == 8);
static_assert(offsetof(settings_record, saved_server_source) == 12);
static_assert(offsetof(settings_record, on_program_start) == 16);
static_assert(offsetof(settings_record, sync_timeout_s) == 20);
static_assert(offsetof(settings_record, autosync_count) == 24);
static_assert(offsetof(settings_record, autosync_unit) == 28);
static_assert(offsetof(settings_record, autocheck_count) == 32);
static_assert(offsetof(settings_record, autocheck_unit) == 36);
static_assert(offsetof(settings_record, offset_multiplier) == 40);
static_assert(offsetof(settings_record, saved_protocol) == 44);
static_assert(offsetof(settings_record, saved_server_index) == 48);
static_assert(offsetof(settings_record, record_size) == 52);
static_assert(offsetof(settings_record, default_server_only) == 56);
static_assert(offsetof(settings_record, tray) == 57);
static_assert(offsetof(settings_record, average) == 58);
static_assert(offsetof(settings_record, on_top) == 59);
static_assert(offsetof(settings_record, autosync_enabled) == 60);
static_assert(offsetof(settings_record, autocheck_enabled) == 61);
static_assert(offsetof(settings_record, time_server_enabled) == 62);
static_assert(offsetof(settings_record, resident) == 63);
static_assert(offsetof(settings_record, saved_date_range_enabled) == 64);
static_assert(offsetof(settings_record, minor) == 65);
static_assert(offsetof(settings_record, start_minimised) == 66);
static_assert(offsetof(settings_record, time_zone_locked) == 67);
static_assert(offsetof(settings_record, log_old_time) == 68);
static_assert(offsetof(settings_record, log_checks) == 69);
static_assert(offsetof(settings_record, log_disabled) == 70);
static_assert(offsetof(settings_record, log_syncs) == 71);
static_assert(offsetof(settings_record, log_errors) == 72);
static_assert(offsetof(settings_record, log_server) == 73);
static_assert(offsetof(settings_record, log_response) == 74);
static_assert(offsetof(settings_record, log_correction) == 75);
static_assert(offsetof(settings_record, saved_date_range_auto_reset) == 76);
static_assert(offsetof(settings_record, transparent) == 77);
static_assert(offsetof(settings_record, saved_manual_a) == 78);
static_assert(offsetof(settings_record, saved_manual_b) == 110);
static_assert(offsetof(settings_record, padding) == 142);
static_assert(offsetof(settings_record, locked_time_zone) == 144);
static_assert(offsetof(settings_record, saved_date_after) == 316);
static_assert(offsetof(settings_record, saved_date_before) == 324);

}  // namespace orvane
