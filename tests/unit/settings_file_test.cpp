#include <gtest/gtest.h>
#include <cstring>
#include "core/extra_settings.h"
#include "core/paths.h"
#include "core/settings_file.h"
#include "core/state.h"
#include "support/temp_dir.h"
#include "support/test_clock.h"
#include "sys/files.h"
#include <unistd.h>

using namespace orvane;
using orvane::testing::temp_dir;

namespace {

struct settings_fixture : ::testing::Test {
    temp_dir dir;
    chronobel_state state;
    void SetUp() override { split_path(state.data_path, dir.dir()); }

    std::uint32_t u32_at(const std::string& bytes, std::size_t offset) {
        std::uint32_t v = 0;
        std::memcpy(&v, bytes.data() + offset, 4);  // the file is little-endian, like this machine
        return v;
    }
    // A file made by hand: magic then the record of a default state, patched by `edit`.
    template <typename Edit>
    void write_record(Edit edit, const char* magic = "SYNC2000") {
        chronobel_state source;
        apply_default_settings(source);
        settings_record r = source.settings;
        edit(r);
        std::string bytes(magic, 8);
        bytes.append(reinterpret_cast<const char*>(&r), sizeof r);
        dir.write("dSync.dat", bytes);
    }
};

}  // namespace

TEST_F(settings_fixture, RoundTripGivesBackEverySetting) {
    apply_default_settings(state);
    settings_record& s = state.settings;
    s.on_windows_start = 2; s.offset_direction = 1; s.offset_amount = 42; s.on_program_start = 1;
    s.sync_timeout_s = 77; s.autosync_count = 9; s.autosync_unit = 2; s.autocheck_count = 3;
    s.autocheck_unit = 0; s.offset_multiplier = 2; s.default_server_only = 1; s.tray = 0; s.average = 1;
    s.on_top = 1; s.autosync_enabled = 0; s.autocheck_enabled = 1; s.time_server_enabled = 1; s.resident = 1;
    s.minor = 1; s.start_minimised = 1; s.time_zone_locked = 1; s.log_old_time = 1; s.log_checks = 1;
    s.log_disabled = 1; s.log_syncs = 0; s.log_errors = 0; s.log_server = 0; s.log_response = 0;
    s.log_correction = 0; s.transparent = 1;
    s.locked_time_zone.bias = -345;
    s.locked_time_zone.standard_name[0] = u'Z';
    s.locked_time_zone.daylight_date = {0, 3, 0, 5, 2, 0, 0, 0};
    s.locked_time_zone.daylight_bias = -60;
    query_engine& e = state.engine;
    e.server_source = source_manual_b; e.server_index = 7; e.protocol = protocol_sntp;
    e.manual_a = "10.1.2.3"; e.manual_b = "192.168.100.200";
    e.date_range_enabled = 0; e.date_range_auto_reset = 0;
    e.date_after = 0x01D0123456789ABCULL; e.date_before = 0x01E0FEDCBA987654ULL;
    save_settings(state, state.data_dir());
    ASSERT_EQ(dir.read("dSync.dat").size(), 340u);

    chronobel_state loaded;
    split_path(loaded.data_path, dir.dir());
    load_settings(loaded);
    EXPECT_EQ(std::memcmp(&loaded.settings, &state.settings, sizeof state.settings), 0);
    EXPECT_EQ(loaded.engine.server_source, source_manual_b);
    EXPECT_EQ(loaded.engine.server_index, 7);
    EXPECT_EQ(loaded.engine.protocol, protocol_sntp);
    EXPECT_EQ(loaded.engine.manual_a, "10.1.2.3");
    EXPECT_EQ(loaded.engine.manual_b, "192.168.100.200");
    EXPECT_EQ(loaded.engine.date_range_enabled, 0);
    EXPECT_EQ(loaded.engine.date_range_auto_reset, 0);
    EXPECT_EQ(loaded.engine.date_after, 0x01D0123456789ABCULL);
    EXPECT_EQ(loaded.engine.date_before, 0x01E0FEDCBA987654ULL);
}

TEST_F(settings_fixture, FileBytesStandAtTheirOffsets) {
    apply_default_settings(state);
    state.settings.autosync_unit = 2;
    state.settings.locked_time_zone.bias = 0x11223344;
    state.engine.date_before = 0x0A0B0C0D01020304ULL;
    state.engine.manual_a = std::string(40, 'x');  // longer than the field: cut, still terminated
    save_settings(state, state.data_dir());
    const std::string bytes = dir.read("dSync.dat");
    ASSERT_EQ(bytes.size(), 340u);
    EXPECT_EQ(bytes.substr(0, 8), "SYNC2000");
    EXPECT_EQ(u32_at(bytes, 28), 15u);  // sync_timeout_s
    EXPECT_EQ(u32_at(bytes, 36), 2u);   // autosync_unit
    EXPECT_EQ(u32_at(bytes, 60), 332u); // record_size
    EXPECT_EQ(u32_at(bytes, 152), 0x11223344u);  // locked_time_zone.bias
    EXPECT_EQ(u32_at(bytes, 332), 0x01020304u);  // saved_date_before, low
    EXPECT_EQ(u32_at(bytes, 336), 0x0A0B0C0Du);  // saved_date_before, high
    EXPECT_EQ(bytes.substr(86, 31), std::string(31, 'x'));
    EXPECT_EQ(bytes[86 + 31], '\0');
}

TEST_F(settings_fixture, ForeignMagicWithTheRightSizeIsAccepted) {
    write_record([](settings_record& r) { r.sync_timeout_s = 33; r.saved_server_source = 1; }, "OTHERXYZ");
    load_settings(state);
    EXPECT_EQ(state.settings.sync_timeout_s, 33);
    EXPECT_EQ(state.engine.server_source, source_manual_a);
}

TEST_F(settings_fixture, RejectedFilesGiveTheDefaults) {
    auto expect_defaults = [this](const char* why) {
        chronobel_state fresh;
        split_path(fresh.data_path, dir.dir());
        fresh.settings.sync_timeout_s = 1234;
        load_settings(fresh);
        EXPECT_EQ(fresh.settings.record_size, 332u) << why;
        EXPECT_EQ(fresh.settings.sync_timeout_s, 15) << why;
        EXPECT_EQ(fresh.settings.autosync_count, 4) << why;
        EXPECT_EQ(fresh.settings.tray, 1) << why;
        EXPECT_EQ(fresh.engine.protocol, protocol_auto) << why;
        EXPECT_EQ(fresh.engine.date_range_enabled, 1) << why;
        EXPECT_FALSE(fresh.engine.manual_a.empty()) << why;
    };
    expect_defaults("missing file");
    write_record([](settings_record& r) { r.record_size = 331; r.sync_timeout_s = 50; });
    expect_defaults("wrong size field");
    write_record([](settings_record& r) { r.sync_timeout_s = 50; });
    dir.write("dSync.dat", dir.read("dSync.dat").substr(0, 339));
    expect_defaults("short file");
    dir.write("dSync.dat", "");
    expect_defaults("empty file");
}

TEST_F(settings_fixture, DefaultsKeepTransparentAndSpanTheDateRangeOnTheHighWord) {
    scoped_test_clock guard;
    // 2020-01-01 12:00:00.500 UTC, shown as local time two hours ahead.
    const filetime utc = E1900 + 3'786'868'800ULL * 10'000'000 + 5'000'000;
    guard.clock.freeze_at(utc);
    guard.clock.local_offset_minutes = 120;
    const filetime local = utc + 120ULL * 600'000'000;
    state.settings.transparent = 1;
    state.settings.record_size = 999;
    apply_default_settings(state);
    EXPECT_EQ(state.settings.transparent, 1);
    EXPECT_EQ(state.settings.record_size, 999u);
    EXPECT_EQ(high_word(state.engine.date_after), high_word(local) - 6119);
    EXPECT_EQ(low_word(state.engine.date_after), low_word(local));
    EXPECT_EQ(high_word(state.engine.date_before), high_word(local) + 73426);
    EXPECT_EQ(low_word(state.engine.date_before), low_word(local));
    EXPECT_EQ(state.settings.offset_multiplier, 1);
    EXPECT_EQ(state.settings.log_server, 1);
}

TEST_F(settings_fixture, DamagedValuesAreMadeSafe) {
    write_record([](settings_record& r) {
        r.sync_timeout_s = -7; r.autosync_count = 0; r.autocheck_count = 1000; r.offset_amount = -1;
        r.autosync_unit = 3; r.autocheck_unit = -1; r.offset_multiplier = 9; r.offset_direction = 2;
        r.on_windows_start = 5; r.on_program_start = -2; r.saved_protocol = 7; r.saved_server_source = 3;
        r.saved_server_index = -5; r.tray = 0xFF; r.minor = 2; r.saved_date_range_enabled = 9;
        std::memset(r.saved_manual_a, 'a', sizeof r.saved_manual_a);  // no terminator at all
        std::memcpy(r.saved_manual_b, "1.2.3.4\0garbage", 15);
    });
    load_settings(state);
    const settings_record& s = state.settings;
    EXPECT_EQ(s.sync_timeout_s, 5);
    EXPECT_EQ(s.autosync_count, 1);
    EXPECT_EQ(s.autocheck_count, 99);
    EXPECT_EQ(s.offset_amount, 0);
    EXPECT_EQ(s.autosync_unit, 1);
    EXPECT_EQ(s.autocheck_unit, 1);
    EXPECT_EQ(s.offset_multiplier, 1);
    EXPECT_EQ(s.offset_direction, 0);
    EXPECT_EQ(s.on_windows_start, 0);
    EXPECT_EQ(s.on_program_start, 0);
    EXPECT_EQ(state.engine.protocol, protocol_auto);
    EXPECT_EQ(state.engine.server_source, source_list);
    EXPECT_EQ(state.engine.server_index, 0);
    EXPECT_EQ(s.tray, 1);
    EXPECT_EQ(s.minor, 1);
    EXPECT_EQ(state.engine.date_range_enabled, 1);
    EXPECT_EQ(state.engine.manual_a, std::string(31, 'a'));  // what the field holds
    EXPECT_EQ(state.engine.manual_b, "1.2.3.4");
}

TEST_F(settings_fixture, ADamagedDateRangeLoadsAsTheDefaultRange) {
    scoped_test_clock guard;
    guard.clock.freeze_at(E1900 + 3'786'868'800ULL * 10'000'000);  // 2020-01-01 12:00 UTC
    query_engine defaults;
    set_default_date_range(defaults);
    const std::uint32_t later[2] = {5, 0x01D6'0000}, earlier[2] = {7, 0x01D5'0000}, zero[2] = {0, 0};
    struct range_case {
        const char* what;
        const std::uint32_t *after, *before;
        bool kept;
    };
    const range_case cases[] = {
        {"before ahead of after", later, earlier, false},
        {"zero after", zero, later, false},
        {"zero before", earlier, zero, false},
        {"a range of one instant", later, later, true},
        {"an ordinary range", earlier, later, true},
    };
    for (const range_case& c : cases) {
        write_record([&c](settings_record& r) {
            std::memcpy(r.saved_date_after, c.after, 8);
            std::memcpy(r.saved_date_before, c.before, 8);
        });
        load_settings(state);
        EXPECT_EQ(state.engine.date_after, c.kept ? make_filetime(c.after[1], c.after[0]) : defaults.date_after.load()) << c.what;
        EXPECT_EQ(state.engine.date_before, c.kept ? make_filetime(c.before[1], c.before[0]) : defaults.date_before.load())
            << c.what;
    }
}

TEST_F(settings_fixture, UnwritableDirectorySavesNothingAndDoesNotFail) {
    dir.write("plain", "x");
    apply_default_settings(state);
    save_settings(state, dir.dir() + L"plain/");
    EXPECT_EQ(dir.read("plain"), "x");
}

TEST_F(settings_fixture, ASaveReplacesTheFileWholeOrLeavesTheOldOne) {
    apply_default_settings(state);
    state.settings.sync_timeout_s = 21;
    ASSERT_TRUE(save_settings(state, state.data_dir()));
    const std::string before = dir.read("dSync.dat");
    ASSERT_EQ(before.size(), 340u);
    EXPECT_FALSE(file_exists(dir.dir() + L"dSync.new"));  // nothing left beside it

    // The new file cannot be made: the old one stays byte for byte.
    ASSERT_TRUE(create_directory(dir.dir() + L"dSync.new"));
    state.settings.sync_timeout_s = 42;
    EXPECT_FALSE(save_settings(state, state.data_dir()));
    EXPECT_EQ(dir.read("dSync.dat"), before);

    // A stale new file from a save that was cut short is simply replaced.
    ASSERT_EQ(::rmdir(narrow(dir.dir() + L"dSync.new").c_str()), 0);
    dir.write("dSync.new", "cut sh");
    EXPECT_TRUE(save_settings(state, state.data_dir()));
    EXPECT_EQ(u32_at(dir.read("dSync.dat"), 28), 42u);
    EXPECT_FALSE(file_exists(dir.dir() + L"dSync.new"));
}

// The settings beside dSync.dat: its bytes stay as they were, a missing file
// or a bad value gives the default, and lines of other versions are kept.
TEST_F(settings_fixture, SettingsBesideDsyncDatLeaveItsBytesAndKeepUnknownLines) {
    dir.write("dSync.dat", "");
    load_settings(state);
    EXPECT_EQ(state.extras.balloons, 1);  // no dExtra.txt: the default
    ASSERT_TRUE(save_settings(state, state.data_dir()));
    const std::string dsync = dir.read("dSync.dat");
    EXPECT_EQ(dir.read("dExtra.txt"), "balloons=1\r\n");
    state.extras.balloons = 0;
    ASSERT_TRUE(save_settings(state, state.data_dir()));
    EXPECT_EQ(dir.read("dSync.dat"), dsync);
    EXPECT_EQ(dir.read("dExtra.txt"), "balloons=0\r\n");
    load_settings(state);
    EXPECT_EQ(state.extras.balloons, 0);

    // Another version's lines stay, in their place; a bad value is ignored.
    dir.write("dExtra.txt", "# written by a later version\nsound=on\r\n balloons = maybe\nballoons=0\n");
    load_settings(state);
    EXPECT_EQ(state.extras.balloons, 0);
    state.extras.balloons = 1;
    ASSERT_TRUE(save_settings(state, state.data_dir()));
    EXPECT_EQ(dir.read("dExtra.txt"), "# written by a later version\r\nsound=on\r\nballoons=1\r\n");
    EXPECT_EQ(extra_settings_from_text(" balloons = 0 \r\n").balloons, 0);
    EXPECT_EQ(extra_settings_from_text("balloons=00\nballoons\n=0").balloons, 1);

    // A file too large to be ours reads as missing; a save that cannot make
    // its new file fails and leaves the old one.
    dir.write("dExtra.txt", "balloons=0\n" + std::string(70'000, '#'));
    EXPECT_EQ(load_extra_settings(state.data_dir()).balloons, 1);
    dir.write("dExtra.txt", "balloons=0\r\n");
    ASSERT_TRUE(create_directory(dir.dir() + L"dExtra.new"));
    EXPECT_FALSE(save_settings(state, state.data_dir()));
    EXPECT_EQ(dir.read("dExtra.txt"), "balloons=0\r\n");
    ASSERT_EQ(::rmdir(narrow(dir.dir() + L"dExtra.new").c_str()), 0);
}
