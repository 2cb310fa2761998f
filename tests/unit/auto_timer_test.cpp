// The AutoSync/AutoCheck timer's arithmetic and the tray icon's tip, with
// the default UI strings and ticks given by the test.
#include <gtest/gtest.h>
#include <cstring>
#include <memory>
#include <string>
#include "core/auto_period.h"
#include "core/status_hold.h"
#include "data/ui_strings.h"
#include "engine/auto_backoff.h"
#include "engine/health.h"
#include "support/state_dirs.h"
#include "ui/auto_timer.h"
#include "sys/clock.h"
#include "ui/tray_tip.h"

using namespace orvane;

namespace {

constexpr std::int64_t hour = 3'600'000;
constexpr std::int64_t day = 24 * hour;

struct auto_timer_fixture : ::testing::Test {
    orvane::testing::state_in_temp_dirs dirs;
    chronobel_state& state = dirs.state;
    // Far from 0, which means "not set", and past the 32-bit wrap.
    std::uint64_t now = 0x1'2345'6789ULL;

    void SetUp() override {
        load_ui_strings(state, ui_string_count, L"Strings.txt");
        apply_default_settings(state);
    }
    void every(int sync_count, int sync_unit, int check_count, int check_unit) {
        state.settings.autosync_enabled = sync_count > 0;
        state.settings.autosync_count = sync_count;
        state.settings.autosync_unit = sync_unit;
        state.settings.autocheck_enabled = check_count > 0;
        state.settings.autocheck_count = check_count;
        state.settings.autocheck_unit = check_unit;
    }
    // Lets the timer run to its firing, in steps as a window timer would,
    // and returns what the firing asks for (operations take no time here).
    auto_timer_action run_to_firing(std::int64_t wait) {
        for (int steps = 0; steps < 10; ++steps) {
            now += timer_step_ms(wait);
            const auto action = on_auto_timer(state, now, false);
            if (action != auto_timer_action::wait_more) return action;
            wait = time_until_due(state, now);
        }
        ADD_FAILURE() << "the timer never fired";
        return auto_timer_action::wait_more;
    }
};

}  // namespace

TEST_F(auto_timer_fixture, SyncEveryFourHoursAndCheckEveryHourTakeTurns) {
    every(4, unit_hours, 1, unit_hours);
    std::string operations;
    std::int64_t wait = next_auto_wait(state, now);
    for (int hours = 0; hours < 8; ++hours) {
        EXPECT_EQ(wait, hour) << "hour " << hours;
        const std::string tip = tray_tip_text(state, now);
        ASSERT_EQ(run_to_firing(wait), auto_timer_action::start_operation);
        operations += state.correct_requested ? 'S' : 'C';
        // The tip names the one that fires next.
        EXPECT_EQ(tip, operations.back() == 'S' ? "1 Hrs, 0 Scs until AutoSync" : "1 Hrs, 0 Scs until AutoCheck");
        wait = next_auto_wait(state, now);
    }
    EXPECT_EQ(operations, "CCCSCCCS");
}

TEST_F(auto_timer_fixture, LessThanAMinuteLeftRestartsBothPeriods) {
    every(4, unit_hours, 0, unit_hours);
    state.autosync_start_tick = now - (4 * hour - 59'000);
    state.autocheck_start_tick = now - 5;
    EXPECT_EQ(next_auto_wait(state, now), 4 * hour);
    EXPECT_EQ(state.autosync_start_tick.load(), now);
    EXPECT_EQ(state.autocheck_start_tick.load(), now);
    EXPECT_EQ(state.auto_due.load(), 2);
    // Overdue counts as less than a minute too; 60 s exactly does not.
    state.autosync_start_tick = now - 5 * hour;
    EXPECT_EQ(next_auto_wait(state, now), 4 * hour);
    state.autosync_start_tick = now - (4 * hour - 60'000);
    EXPECT_EQ(next_auto_wait(state, now), 60'000);
    // Nothing enabled: nothing armed, nothing changed.
    every(0, 0, 0, 0);
    state.auto_due = 0;
    EXPECT_EQ(next_auto_wait(state, now), -1);
    EXPECT_EQ(state.auto_due.load(), 0);
}

TEST_F(auto_timer_fixture, FiringDuringAnOperationRetriesAfterThirtySeconds) {
    every(1, unit_hours, 0, unit_hours);
    ASSERT_EQ(next_auto_wait(state, now), hour);
    now += hour;
    EXPECT_EQ(on_auto_timer(state, now, true), auto_timer_action::retry_later);
    EXPECT_EQ(time_until_due(state, now), 30'000);
    EXPECT_EQ(tray_tip_text(state, now), "30 Scs until AutoSync");
    now += 30'000;
    EXPECT_EQ(on_auto_timer(state, now, true), auto_timer_action::retry_later);
    now += 30'000;
    state.correct_requested = 0;
    EXPECT_EQ(on_auto_timer(state, now, false), auto_timer_action::start_operation);
    EXPECT_EQ(state.correct_requested.load(), 1);
    EXPECT_EQ(state.autosync_start_tick.load(), 0u);
}

// The window's side of the backoff: a failed AutoSync comes again after 1
// minute, then 2, never later than the period; operations by hand change
// nothing; one that succeeds gives the period back.
TEST_F(auto_timer_fixture, AFailedAutoSyncIsRetriedAfterOneMinuteThenTwoUpToThePeriod) {
    every(4, unit_minutes, 1, unit_hours);
    std::int64_t wait = next_auto_wait(state, now);
    auto run_automatic = [&](operation_outcome outcome) {
        EXPECT_EQ(run_to_firing(wait), auto_timer_action::start_operation);
        note_operation_start(state, state.correct_requested ? auto_sync : auto_check);
        next_auto_wait(state, now);  // the next period is armed as the operation starts
        const bool retry = note_operation_end(state, outcome, now);
        EXPECT_EQ(retry, outcome == operation_outcome::failed);
        wait = next_auto_wait(state, now);
    };
    run_automatic(operation_outcome::failed);
    EXPECT_EQ(wait, 60'000);
    EXPECT_EQ(state.auto_due.load(), 2);
    EXPECT_EQ(tray_tip_text(state, now), "AutoSync failed, retry in 1 Mns, 0 Scs");
    // A check by hand that fails meanwhile leaves the retry as it was.
    note_operation_start(state, auto_none);
    EXPECT_FALSE(note_operation_end(state, operation_outcome::failed, now));
    EXPECT_EQ(next_auto_wait(state, now), 60'000);
    run_automatic(operation_outcome::failed);
    EXPECT_EQ(wait, 120'000);
    run_automatic(operation_outcome::failed);
    EXPECT_EQ(wait, 4 * 60'000);  // 4 minutes, the period itself
    run_automatic(operation_outcome::failed);
    EXPECT_EQ(wait, 4 * 60'000);  // never later than the period
    EXPECT_EQ(state.backoff.failures.load(), 4);
    run_automatic(operation_outcome::succeeded);
    EXPECT_EQ(state.backoff.failures.load(), 0);
    EXPECT_EQ(wait, 4 * 60'000);
    EXPECT_EQ(tray_tip_text(state, now), "4 Mns, 0 Scs until AutoSync");
    // The user's Abort of an automatic operation neither counts nor resets.
    run_automatic(operation_outcome::failed);
    run_automatic(operation_outcome::aborted);
    EXPECT_EQ(state.backoff.failures.load(), 1);
    EXPECT_EQ(retry_delay_ms(1, hour), 60'000);
    EXPECT_EQ(retry_delay_ms(4, hour), 8 * 60'000);
    EXPECT_EQ(retry_delay_ms(1000, 99 * day), 99 * day);
}

TEST_F(auto_timer_fixture, PeriodsOfTwentyFiveDaysAndMoreAreArmedInSteps) {
    for (int days : {25, 50, 99}) {
        every(days, unit_days, 0, unit_hours);
        state.autosync_start_tick = 0;
        const std::uint64_t armed_at = now;
        const std::int64_t wait = next_auto_wait(state, now);
        EXPECT_EQ(wait, days * day) << days;
        EXPECT_EQ(tray_tip_text(state, now), std::to_string(days) + " Dys, 0 Scs until AutoSync");
        EXPECT_EQ(timer_step_ms(wait), 0x7FFF'FFFFu) << days;
        ASSERT_EQ(run_to_firing(wait), auto_timer_action::start_operation) << days;
        EXPECT_EQ(static_cast<std::int64_t>(now - armed_at), days * day) << days;
    }
    EXPECT_EQ(timer_step_ms(-5), 0u);
}

TEST_F(auto_timer_fixture, TrayTipNamesTheServersAndIsCutAt127Characters) {
    state.auto_due = 0;
    EXPECT_EQ(tray_tip_text(state, now), "Chronobel");
    const std::pair<int, const char*> lines[] = {
        {1, "Chronobel\r\nTIME Server Active"},
        {2, "Chronobel\r\nSNTP Server Active"},
        {3, "Chronobel\r\nTIME and SNTP Server Active"},
    };
    for (const auto& [server_state, tip] : lines) {
        state.server_state = server_state;
        EXPECT_EQ(tray_tip_text(state, now), tip);
    }
    // A long string table entry: the tip keeps its first 127 characters.
    auto table = std::make_unique<ui_table>(*state.ui_strings.load());
    const std::string long_line(99, 'x');
    std::memcpy(table->bytes + 102 * ui_slot_size, long_line.c_str(), 100);
    std::memcpy(table->bytes + 100 * ui_slot_size, long_line.c_str(), 100);
    state.publish_ui_table(std::move(table));
    state.auto_due = 12;
    state.due_start_tick = now;
    state.due_period_ms = 45'000;
    const std::string tip = tray_tip_text(state, now);
    EXPECT_EQ(tip.size(), 127u);
    EXPECT_EQ(tip, ("45 Scs" + long_line + "\r\n" + long_line).substr(0, 127));
    EXPECT_EQ(state.auto_due.load(), 2);  // the restored window's redraw request is taken back
}

// The tray icon's look and the notices: failing after three automatic
// failures in a row (said once per streak), recovered at the next success,
// stale when the last success is older than two periods or a check found
// the clock more than a second off.
TEST_F(auto_timer_fixture, TheTrayLookFollowsFailuresAgeAndOffsetAndEachNoticeComesOncePerStreak) {
    health_record h;
    const std::int64_t period = 4 * hour;
    health_begin(h, now);
    auto end = [&](auto_kind kind, bool correction, operation_outcome outcome, bool off = false) {
        health_operation_started(h, kind, correction);
        return health_operation_ended(h, outcome, off, now);
    };
    auto look = [&] { return current_tray_look(h, period, now); };
    EXPECT_EQ(look(), tray_look::in_sync);
    EXPECT_EQ(last_good_text(h, now), "Never synced");
    // Two automatic failures, one by hand between them (not counted), an abort.
    EXPECT_EQ(end(auto_sync, true, operation_outcome::failed), health_none);
    EXPECT_EQ(end(auto_none, true, operation_outcome::failed), health_none);
    EXPECT_EQ(end(auto_check, false, operation_outcome::failed), health_none);
    EXPECT_EQ(end(auto_sync, true, operation_outcome::aborted), health_none);
    EXPECT_EQ(look(), tray_look::in_sync);
    EXPECT_EQ(end(auto_sync, true, operation_outcome::failed), health_failing);
    EXPECT_EQ(look(), tray_look::failing);
    EXPECT_EQ(end(auto_sync, true, operation_outcome::failed), health_none);  // once per streak
    // A success of any kind ends the streak.
    EXPECT_EQ(end(auto_none, true, operation_outcome::succeeded), health_recovered);
    EXPECT_EQ(look(), tray_look::in_sync);
    EXPECT_EQ(last_good_text(h, now + 59'999), "Last synced just now");
    EXPECT_EQ(last_good_text(h, now + 60'000), "Last synced 1 min ago");
    EXPECT_EQ(last_good_text(h, now + 3 * hour + 59 * 60'000), "Last synced 3 h ago");
    EXPECT_EQ(last_good_text(h, now + 2 * day + hour), "Last synced 2 d ago");
    EXPECT_EQ(current_tray_look(h, period, now + 2 * period), tray_look::in_sync);
    EXPECT_EQ(current_tray_look(h, period, now + 2 * period + 1), tray_look::stale);
    EXPECT_EQ(current_tray_look(h, 0, now + 30 * day), tray_look::in_sync);  // nothing automatic
    // A new streak is told again.
    for (int i = 1; i < failing_streak; ++i) EXPECT_EQ(end(auto_sync, true, operation_outcome::failed), health_none);
    EXPECT_EQ(end(auto_sync, true, operation_outcome::failed), health_failing);
    // An AutoCheck that finds more than a second: recovered, and told; the
    // same found by hand makes the icon stale without a notice.
    EXPECT_EQ(end(auto_check, false, operation_outcome::succeeded, true), health_recovered | health_clock_off);
    EXPECT_EQ(look(), tray_look::stale);
    EXPECT_EQ(last_good_text(h, now), "Last checked just now");
    EXPECT_EQ(end(auto_none, false, operation_outcome::succeeded, false), health_none);
    EXPECT_EQ(look(), tray_look::in_sync);
    EXPECT_EQ(end(auto_none, false, operation_outcome::succeeded, true), health_none);
    EXPECT_EQ(look(), tray_look::stale);
    // A correction puts the clock right, even one that found it far off.
    EXPECT_EQ(end(auto_sync, true, operation_outcome::succeeded, true), health_none);
    EXPECT_EQ(look(), tray_look::in_sync);
    // Never a success: the age counts from the start.
    health_record fresh;
    health_begin(fresh, now);
    EXPECT_EQ(current_tray_look(fresh, period, now + 2 * period + 1), tray_look::stale);

    // More than a second: in 2^-32 s over SNTP, in whole seconds over TIME.
    query_engine& e = state.engine;
    struct result_case {
        std::int64_t offset, seconds;
        bool off;
    };
    const result_case cases[] = {{clock_off_limit, 0, false}, {clock_off_limit + 1, 0, true},
                                 {-clock_off_limit - 1, 0, true}, {0, 1, false}, {0, -2, true}};
    for (const auto& [offset, seconds, off] : cases) {
        e.offset = offset;
        e.time_difference_s = seconds;
        EXPECT_EQ(result_off_by_more_than_a_second(e), off) << offset << " " << seconds;
    }
}

TEST_F(auto_timer_fixture, TrayTipSaysWhenTheClockWasLastSetWithinItsLimit) {
    every(4, unit_hours, 0, unit_hours);
    state.auto_due = 2;
    state.due_start_tick = now;
    state.due_period_ms = 240'000;
    health_begin(state.health, now - 3 * hour);
    EXPECT_EQ(tray_tip_text(state, now), "4 Mns, 0 Scs until AutoSync\r\nNever synced");
    health_operation_started(state.health, auto_sync, true);
    health_operation_ended(state.health, operation_outcome::succeeded, false, now - 3 * hour);
    state.server_state = 3;
    EXPECT_EQ(tray_tip_text(state, now),
              "4 Mns, 0 Scs until AutoSync\r\nLast synced 3 h ago\r\nTIME and SNTP Server Active");
    const std::string held(120, 'h');
    hold_status_text(state);
    EXPECT_EQ(tray_tip_text(state, tick_count64(), held), (held + "\r\nLast synced").substr(0, tray_tip_limit));
}
