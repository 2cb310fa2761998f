#include <gtest/gtest.h>
#include "core/paths.h"
#include "core/status_hold.h"
#include "data/ui_strings.h"
#include "engine/sync_result.h"
#include "sys/clock.h"
#include "support/recording_view.h"
#include "support/temp_dir.h"
#include "support/test_clock.h"

using namespace orvane;
using orvane::testing::recording_view;
using orvane::testing::temp_dir;

namespace {

constexpr filetime second = 10'000'000;
constexpr filetime millisecond = 10'000;
// 2020-01-01 12:00:00 UTC and its seconds since 1900.
constexpr std::uint32_t noon_seconds = 3'786'868'800u;
constexpr filetime noon = E1900 + noon_seconds * second;

filetime at(int hour, int minute, int second_of_minute, int ms = 0) {
    filetime t = 0;
    system_time_to_filetime({2020, 1, 0, 1, static_cast<std::uint16_t>(hour), static_cast<std::uint16_t>(minute),
                             static_cast<std::uint16_t>(second_of_minute), static_cast<std::uint16_t>(ms)},
                            t);
    return t;
}

struct result_fixture : ::testing::Test {
    temp_dir dir;
    scoped_test_clock guard;
    test_clock& clock = guard.clock;
    chronobel_state state;
    recording_view view;

    void SetUp() override {
        split_path(state.program_path, dir.dir());
        split_path(state.data_path, dir.dir());
        load_ui_strings(state, 250, L"Strings.txt");
        apply_default_settings(state);
        state.set_view(&view);
        clock.freeze_at(noon);
        clock.tick_frozen = true;
        clock.frozen_tick = 50'000;
        state.engine.server_name = "time.example";
    }
    // A finished SNTP reply whose offset is `offset` (2^-32 s).
    void sntp_reply(std::int64_t offset, std::int32_t response_ms = 48) {
        query_engine& e = state.engine;
        e.protocol = protocol_sntp;
        e.offset = offset;
        e.response_ms = response_ms;
        e.server_seconds = noon_seconds;
        e.server_time = noon;
        e.reply_tick = clock.frozen_tick;
        e.phase = 6;
    }
    // A finished TIME reply saying `server` (whole seconds), which arrived `age_ms` ago.
    void time_reply(filetime server, std::uint32_t age_ms = 0) {
        query_engine& e = state.engine;
        e.protocol = protocol_time;
        e.offset = 0;
        e.response_ms = 20;
        e.server_seconds = static_cast<std::uint32_t>((server - E1900) / second);
        e.server_time = server;
        e.reply_tick = clock.frozen_tick - age_ms;
        e.phase = 6;
    }
    filetime last_set() {
        auto sets = clock.recorded_sets();
        filetime t = 0;
        if (!sets.empty()) system_time_to_filetime(sets.back(), t);
        return t;
    }
};

constexpr std::int64_t two_and_a_half = (std::int64_t{2} << 32) | 0x80000000LL;

}  // namespace

TEST_F(result_fixture, TextsComeOutLetterForLetter) {
    sntp_reply(two_and_a_half, 48);
    std::string text;
    compose_result_text(state, text, result_after_correction);
    EXPECT_EQ(text, "Time Corrected by 2.50000 Scs in 48ms");

    state.settings.log_response = 0;
    text = "Time Checked, ";
    compose_result_text(state, text, result_after_check);
    EXPECT_EQ(text, "Time Checked, Difference found as 2.50000 Scs");

    time_reply(noon);
    text = "Time Checked, ";
    compose_result_text(state, text, result_after_check);
    EXPECT_EQ(text, "Time Checked, Difference found as 0 Scs");
    // TIME knows whole seconds: shown as such in a check, never in a correction.
    state.engine.time_difference_s = -3;
    text = "Time Checked, ";
    compose_result_text(state, text, result_after_check);
    EXPECT_EQ(text, "Time Checked, Difference found as -3 Scs");
    text.clear();
    compose_result_text(state, text, result_after_correction);
    EXPECT_EQ(text, "Time Corrected in 20ms");
    state.engine.time_difference_s = 0;

    // In the log the offset follows the Correction switch, the time the Response switch.
    sntp_reply(two_and_a_half, 48);
    state.settings.log_correction = 0;
    state.settings.log_response = 1;
    text.clear();
    compose_result_text(state, text, result_in_log);
    EXPECT_EQ(text, "Time Corrected in 48ms");
}

TEST_F(result_fixture, OffsetsShowTheirSignAndFiveDecimals) {
    EXPECT_EQ(offset_seconds_text(-(std::int64_t{1} << 31)), "-0.50000");
    EXPECT_EQ(offset_seconds_text(two_and_a_half), "2.50000");
    EXPECT_EQ(offset_seconds_text(-two_and_a_half), "-2.50000");
    EXPECT_EQ(offset_seconds_text(std::int64_t{100} << 32), "100.00000");
    EXPECT_EQ(offset_seconds_text(0xFFFFFFFFLL), "1.00000");  // rounds up into the next second
    EXPECT_EQ(offset_seconds_text(42950), "0.00001");
    EXPECT_EQ(offset_seconds_text(-1), "0.00000");  // no sign on what shows as nothing
    EXPECT_EQ(offset_seconds_text(-21474), "0.00000");
    EXPECT_EQ(offset_seconds_text(-21475), "-0.00001");
    EXPECT_EQ(offset_seconds_text(INT64_MIN), "-2147483648.00000");
    EXPECT_EQ(offset_to_filetime_units(std::int64_t{100} << 32), 100 * 10'000'000LL);
    EXPECT_EQ(offset_to_filetime_units(-(std::int64_t{1} << 31)), -5'000'000LL);
    EXPECT_EQ(offset_to_filetime_units(-two_and_a_half), -25'000'000LL);
    EXPECT_EQ(offset_to_filetime_units(429), 1);  // 429 / 2^32 s is 0.999 of 100 ns
}

TEST_F(result_fixture, TimeRepliesCountWholeSecondsOf1024MsSinceTheyArrived) {
    state.settings.log_checks = 0;
    time_reply(noon, 300);
    apply_result(state, false);
    EXPECT_EQ(state.server_local_time.load(), noon);
    time_reply(noon, 2'100);
    apply_result(state, false);
    EXPECT_EQ(state.server_local_time.load(), noon + 2 * second);
    EXPECT_TRUE(clock.recorded_sets().empty());
}

TEST_F(result_fixture, SntpOffsetsAreAppliedInBothDirectionsToTheMillisecond) {
    for (std::int64_t offset : {two_and_a_half, -two_and_a_half, std::int64_t{-1} << 31,
                                (std::int64_t{1'499'999} << 32), -(std::int64_t{1'499'999} << 32)}) {
        clock.freeze_at(noon);
        state.correct_requested = 1;
        state.engine.force_time_protocol = 0;
        sntp_reply(offset);
        apply_result(state, true);
        ASSERT_FALSE(state.engine.failed) << offset;
        EXPECT_EQ(last_set(), noon + static_cast<filetime>(offset_to_filetime_units(offset))) << offset;
        EXPECT_FALSE(state.engine.force_time_protocol) << offset;
    }
    // Beyond the limit in either direction: the server's absolute time.
    for (std::int64_t offset : {std::int64_t{1'500'001} << 32, -(std::int64_t{1'500'001} << 32)}) {
        clock.freeze_at(noon + 3 * millisecond);
        state.correct_requested = 1;
        state.engine.force_time_protocol = 0;
        sntp_reply(offset);
        apply_result(state, true);
        EXPECT_EQ(last_set(), noon) << offset;
        EXPECT_TRUE(state.engine.force_time_protocol) << offset;
    }
}

TEST_F(result_fixture, TheTimeSetIsRoundedToTheNearestMillisecond) {
    clock.freeze_at(noon + 6'000);  // 0.6 ms past noon
    state.correct_requested = 1;
    sntp_reply(0);
    state.engine.offset = 1;  // a hair, so the offset path is taken
    apply_result(state, true);
    EXPECT_EQ(last_set(), noon + millisecond);
}

TEST_F(result_fixture, MinorKeepsWholeHoursAndCorrectsWithinTheHour) {
    EXPECT_EQ(minor_correction(at(10, 59, 58), at(11, 0, 1)), at(11, 0, 1));
    EXPECT_EQ(minor_correction(at(11, 0, 1), at(10, 59, 58)), at(10, 59, 58));
    // A clock deliberately 3 h 20 min behind gets only the 20 minutes.
    EXPECT_EQ(minor_correction(at(8, 40, 0), at(12, 0, 0)), at(9, 0, 0));
    EXPECT_EQ(minor_correction(at(15, 20, 0), at(12, 0, 0)), at(15, 0, 0));

    clock.freeze_at(at(10, 59, 58));
    state.settings.minor = 1;
    state.correct_requested = 1;
    time_reply(at(11, 0, 1));
    apply_result(state, true);
    EXPECT_EQ(last_set(), at(11, 0, 1));
}

TEST_F(result_fixture, UserOffsetShiftsTheClockButNotTheServerDisplay) {
    const struct { std::int32_t direction, amount, multiplier; std::int64_t shift_s; } cases[] = {
        {0, 5, 0, 5}, {1, 5, 0, -5}, {0, 2, 1, 120}, {1, 2, 1, -120}, {0, 3, 2, 10800}, {1, 99, 2, -356400},
    };
    for (const auto& c : cases) {
        clock.freeze_at(noon);
        state.settings.offset_direction = c.direction;
        state.settings.offset_amount = c.amount;
        state.settings.offset_multiplier = c.multiplier;
        state.correct_requested = 1;
        time_reply(noon);
        apply_result(state, true);
        EXPECT_EQ(static_cast<std::int64_t>(last_set() - noon), c.shift_s * 10'000'000) << c.shift_s;
        EXPECT_EQ(state.server_local_time.load(), noon) << "the server's own time stays on display";
    }
    // A check applies no offset and sets nothing.
    const auto sets_before = clock.recorded_sets().size();
    state.correct_requested = 0;
    time_reply(noon);
    apply_result(state, false);
    EXPECT_EQ(clock.recorded_sets().size(), sets_before);
    EXPECT_EQ(state.server_local_time.load(), noon);

    // Without an offset the display shows the clock as just set (local time).
    clock.local_offset_minutes = 60;
    state.settings.offset_amount = 0;
    state.correct_requested = 1;
    time_reply(noon + 7 * second);
    apply_result(state, true);
    EXPECT_EQ(state.server_local_time.load(), noon + 7 * second + 3600 * second);
    EXPECT_EQ(state.correct_requested.load(), 0);
}

TEST_F(result_fixture, ARefusedClockSetShowsThePrivilegeErrorAndLogsNothing) {
    clock.refuse_sets = true;
    state.correct_requested = 1;
    time_reply(noon);
    complete_operation(state);
    EXPECT_TRUE(state.engine.failed);
    EXPECT_EQ(view.last_text(control_status_line), "Error setting Time Change Privileges");
    EXPECT_EQ(view.last_text(control_server_name), "time.example");
    EXPECT_FALSE(dir.exists("dLog.txt"));
    EXPECT_EQ(status_hold_at(state, tick_count64()), status_hold_stage::text);
}

TEST_F(result_fixture, ACorrectionResetsTheDateRangeAndLogsUnderItsSwitches) {
    state.engine.date_after = 1;
    state.engine.date_before = 2;
    state.settings.log_old_time = 1;
    state.correct_requested = 1;
    sntp_reply(two_and_a_half, 48);
    complete_operation(state);
    EXPECT_EQ(view.last_text(control_status_line), "Time Corrected by 2.50000 Scs in 48ms");
    EXPECT_GT(state.engine.date_after, filetime{2});
    EXPECT_GT(state.engine.date_before, state.engine.date_after);
    const std::string log = dir.read("dLog.txt");
    EXPECT_EQ(log.rfind("Chronobel v2.0 Log\r\n", 0), 0u) << log;
    EXPECT_NE(log.find("  Chronobeled, Old time was "), std::string::npos) << log;
    EXPECT_NE(log.find(", Time Corrected by 2.50000 Scs in 48ms, Server used was time.example\r\n"),
              std::string::npos) << log;

    // Checks are logged only with their switch, and nothing at all with "No Log".
    const std::size_t size = log.size();
    state.correct_requested = 0;
    sntp_reply(two_and_a_half, 48);
    complete_operation(state);
    EXPECT_EQ(dir.read("dLog.txt").size(), size);
    state.settings.log_checks = 1;
    complete_operation(state);
    EXPECT_NE(dir.read("dLog.txt").find("  Time Checked, Difference found as 2.50000 Scs in 48ms, Server used was "
                                        "time.example\r\n"),
              std::string::npos);
    const std::size_t size2 = dir.read("dLog.txt").size();
    state.settings.log_disabled = 1;
    complete_operation(state);
    state.correct_requested = 1;
    complete_operation(state);
    EXPECT_EQ(dir.read("dLog.txt").size(), size2);
}

TEST_F(result_fixture, DryRunReportsTheTimeAndNeverSetsTheClock) {
    state.dry_run = true;
    state.correct_requested = 1;
    time_reply(noon + 1500 * millisecond);
    complete_operation(state);
    EXPECT_TRUE(clock.recorded_sets().empty());
    const auto texts = view.texts(control_status_line);
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[texts.size() - 2], "Dry run: the clock would be set to 2020-01-01 12:00:01.500 UTC");
    EXPECT_EQ(texts.back(), "Time Corrected in 20ms");
}
