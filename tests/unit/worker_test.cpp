// The worker thread: step texts, results, time-out, abort, the idle display,
// the service mode and the way it stops.
#include <gtest/gtest.h>
#include <algorithm>
#include <chrono>
#include <thread>
#include "app/startup.h"
#include "core/status_hold.h"
#include "engine/ntp_time.h"
#include "engine/resync.h"
#include "engine/service_events.h"
#include "engine/sntp_packet.h"
#include "engine/sync_result.h"
#include "platform/service_runtime.h"
#include "engine/worker.h"
#include "support/event_recorder.h"
#include "support/loopback_servers.h"
#include "support/worker_fixture.h"
#include "engine/countdown.h"
#include "sys/clock.h"
#include "support/test_clock.h"
#include "ui/tray_tip.h"
#include "engine/health.h"
#include "sys/threads.h"

using namespace orvane;
using namespace orvane::testing;

namespace {

// What the health listener heard (on the worker thread, read once it is idle).
std::vector<health_event> heard_events;

struct worker_fixture : operation_fixture {
    scoped_test_clock guard;
    test_clock& clock = guard.clock;

    void SetUp() override {
        operation_fixture::SetUp();
        state->engine.server_source = source_manual_a;
        state->engine.manual_a = "127.0.0.1";
        state->engine.protocol = protocol_sntp;
        state->settings.sync_timeout_s = 5;
    }
    bool status_shows(const std::string& text, int ms = 5000) {
        const bool shown = wait_until([&] { return view.last_text(control_status_line) == text; }, ms);
        if (!shown) ADD_FAILURE() << "status line: " << ::testing::PrintToString(view.texts(control_status_line));
        return shown;
    }
    bool status_starts_with(const std::string& prefix, int ms = 5000) {
        return wait_until([&] { return view.last_text(control_status_line).rfind(prefix, 0) == 0; }, ms);
    }
    bool idle() { return wait_until([&] { return state->engine.in_progress == 0; }, 20'000); }
    // The clock has been set `count` times; else what the worker was at.
    ::testing::AssertionResult sets_reach(std::size_t count) {
        if (wait_until([&] { return clock.recorded_sets().size() == count; }, 20'000))
            return ::testing::AssertionSuccess();
        const query_engine& e = state->engine;
        return ::testing::AssertionFailure()
               << clock.recorded_sets().size() << " sets; in_progress " << e.in_progress.load() << ", busy "
               << e.busy.load() << ", phase " << e.phase.load() << ", failed " << e.failed.load() << ", step "
               << status_step.load() << "; due in " << time_until_due(*state, tick_count64()) << " ms (period "
               << state->due_period_ms.load() << "), refresh " << status_refresh_ms.load() << " ms, failures "
               << state->backoff.failures.load() << "; status '" << view.last_text(control_status_line) << "'";
    }
    // Auto on a list of two whose first address answers over TIME only.
    void ask_list_whose_sntp_is_silent(const sntp_responder& silent, const time_responder& time) {
        write_list({"127.0.0.1", "127.0.0.2"});
        state->engine.server_source = source_list;
        state->engine.protocol = protocol_auto;
        state->engine.sntp_port = silent.port();
        state->engine.time_port = time.port();
    }
    static std::size_t occurrences(const std::string& text, const std::string& piece) {
        std::size_t count = 0;
        for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++count;
        return count;
    }
    // The status texts from the first `first` on.
    std::vector<std::string> status_from(const std::string& first) {
        auto all = view.texts(control_status_line);
        auto at = std::find(all.begin(), all.end(), first);
        return std::vector<std::string>(at, all.end());
    }
};

}  // namespace

TEST_F(worker_fixture, AnIpv6ListEntryIsCheckedAndShownInItsUsualForm) {
    sntp_responder server(sntp_reply_now, ipv6_loopback);
    write_list({"[0:0:0::1]"});
    state->engine.server_source = source_list;
    state->engine.sntp_port = server.port();
    start_worker(*state);
    state->correct_requested = 0;
    ASSERT_EQ(start_operation(*state), 0);
    ASSERT_TRUE(status_starts_with("Time Checked, Difference found as "));
    ASSERT_TRUE(idle());
    const auto steps = status_from("Initialising...");
    ASSERT_GE(steps.size(), 4u);
    EXPECT_EQ(steps[2], "Looking for server at ::1");
    EXPECT_EQ(steps[3], "Waiting for reply from [0:0:0::1]");
}

TEST_F(worker_fixture, ACheckShowsEveryStepThenItsResult) {
    sntp_responder server(sntp_reply_now);
    state->engine.sntp_port = server.port();
    start_worker(*state);
    state->correct_requested = 0;
    ASSERT_EQ(start_operation(*state), 0);
    ASSERT_TRUE(status_starts_with("Time Checked, Difference found as "));
    ASSERT_TRUE(idle());
    const auto steps = status_from("Initialising...");
    ASSERT_EQ(steps.size(), 6u);
    EXPECT_EQ(steps[1], "Creating Socket...");
    EXPECT_EQ(steps[2], "Looking for server at 127.0.0.1");
    EXPECT_EQ(steps[3], "Waiting for reply from 127.0.0.1");
    EXPECT_EQ(steps[4], "Converting...");
    EXPECT_EQ(view.last_text(control_server_name), "127.0.0.1");
    // The Check button was an Abort button while the query ran.
    EXPECT_EQ(view.texts(control_check_button), (std::vector<std::string>{"Abort", "Check"}));
    const auto tips = view.tooltips();
    ASSERT_EQ(tips.size(), 2u);
    EXPECT_EQ(tips[0].text, "Cancel Chronobel operation");
    EXPECT_EQ(tips[1].text, "Check the time but don't change it");
    const auto enables = view.enables();
    ASSERT_EQ(enables.size(), 4u);
    EXPECT_EQ(enables[0].text, "disabled");
    EXPECT_EQ(enables[3].text, "enabled");
    EXPECT_TRUE(clock.recorded_sets().empty());
    EXPECT_EQ(status_refresh_ms.load(), 100);  // as it was before the operation
    // From now on the server's clock runs on screen, a pass at a time.
    set_event(state->worker_event);
    ASSERT_TRUE(wait_until([&] { return view.last_text(control_server_time).find("\r\n") != std::string::npos; },
                           2000));
    const filetime shown = state->server_local_time;
    clock.tick_shift = 3'000;
    set_event(state->worker_event);
    ASSERT_TRUE(wait_until([&] { return state->server_local_time >= shown + 30'000'000; }, 2000));
}

TEST_F(worker_fixture, ACorrectionSetsTheClockAndShowsTheTimeCorrected) {
    sntp_responder server(sntp_reply_now);
    state->engine.sntp_port = server.port();
    start_worker(*state);
    state->correct_requested = 1;
    ASSERT_EQ(start_operation(*state), 0);
    ASSERT_TRUE(status_starts_with("Time Corrected by "));
    EXPECT_EQ(clock.recorded_sets().size(), 1u);
    EXPECT_EQ(status_from("Initialising...").size(), 6u);
    // A second start while one runs does nothing.
    state->correct_requested = 0;
    ASSERT_EQ(start_operation(*state), 0);
    EXPECT_EQ(start_operation(*state), 0);
    ASSERT_TRUE(idle());
}

// A time-out ends its attempt, not the operation: under Auto the same
// address is asked over TIME next, and the automatic timer stays armed.
TEST_F(worker_fixture, ATimedOutSntpAttemptFailsOverToTimeOnTheSameAddress) {
    sntp_responder silent(sntp_responder::silent());
    time_responder time(time_reply_bytes(filetime_to_ntp_timestamp(system_time_now()).seconds));
    ask_list_whose_sntp_is_silent(silent, time);
    state->auto_due = 2;
    start_worker(*state);
    ASSERT_EQ(start_operation(*state), 0);
    ASSERT_TRUE(status_shows("Waiting for reply from 127.0.0.1"));
    clock.tick_shift = 6'000;  // past the five seconds
    set_event(state->worker_event);
    ASSERT_TRUE(status_starts_with("Time Checked, Difference found as "));
    ASSERT_TRUE(idle());
    // The timed-out attempt shows no step again; the TIME attempt shows its own.
    const auto texts = status_from("Time out on127.0.0.1");
    ASSERT_EQ(texts.size(), 7u) << ::testing::PrintToString(texts);
    EXPECT_EQ(texts[1], "Initialising...");
    EXPECT_EQ(texts[4], "Waiting for reply from 127.0.0.1");
    EXPECT_EQ(time.connections(), 1);
    EXPECT_EQ(state->engine.server_index, 0);
    EXPECT_EQ(state->auto_due.load(), 2);
}

// An operation that times out and has nothing left to try ends as failed;
// the countdown to the armed timer comes back.
TEST_F(worker_fixture, AfterATimeOutTheCountdownComesBack) {
    write_list({"127.0.0.1"});
    state->engine.server_source = source_list;
    sntp_responder server(sntp_responder::silent());
    state->engine.sntp_port = server.port();
    state->auto_due = 2;
    state->due_start_tick = tick_count64();
    state->due_period_ms = 3'725'000;
    status_refresh_ms = 5;
    start_worker(*state);
    ASSERT_EQ(start_operation(*state), 0);
    ASSERT_TRUE(status_shows("Waiting for reply from 127.0.0.1"));
    clock.tick_shift = 6'000;
    set_event(state->worker_event);
    // The time-out's text is the outcome, held; no step replays over it.
    ASSERT_TRUE(idle());
    EXPECT_EQ(status_from("Time out on127.0.0.1").size(), 1u);
    EXPECT_EQ(view.last_text(control_check_button), "Check");
    clock.tick_shift = 6'000 + status_text_hold_ms + status_ready_hold_ms;
    // The check failed: nothing has set or checked the clock yet.
    ASSERT_TRUE(status_shows("1 Hrs, 1 Mns until AutoSync - Never synced"));
    EXPECT_EQ(state->auto_due.load(), 2);
}

// A check whose two servers refuse: once round the list (each over SNTP and
// TIME), then the failure stays readable for its ten seconds, with no step
// text after it, and a new operation replaces it at once.
TEST_F(worker_fixture, AFailureStaysOnTheStatusLineUntilItsTimeOrTheNextOperation) {
    write_list({"127.0.0.2", "127.0.0.3"});
    state->engine.server_source = source_list;
    state->engine.protocol = protocol_auto;
    state->engine.sntp_port = state->engine.time_port = closed_port();
    state->auto_due = 2;  // AutoSync armed: the check fails over
    state->due_start_tick = tick_count64();
    state->due_period_ms = 3'725'000;
    status_refresh_ms = 5;
    start_worker(*state);
    ASSERT_EQ(start_operation(*state), 0);
    ASSERT_TRUE(idle());
    const std::string failure = "Unable to sync from 127.0.0.3";
    ASSERT_TRUE(status_shows(failure));
    EXPECT_EQ(occurrences(data.read("dLog.txt"), "  No response from 127.0.0."), 4u);
    // Passes go on (the clock display), the failure stays.
    const auto passes = [&] { return view.texts(control_local_time).size(); };
    const auto stays_after = [&](std::uint32_t ms) {
        clock.tick_shift = ms;
        const std::size_t seen = passes();
        EXPECT_TRUE(wait_until([&] { return passes() > seen + 3; }, 5000));
        return view.last_text(control_status_line) == failure;
    };
    EXPECT_TRUE(stays_after(5'000));
    EXPECT_TRUE(stays_after(status_text_hold_ms - 100));
    clock.tick_shift = status_text_hold_ms;
    ASSERT_TRUE(status_starts_with("Ready"));
    const auto texts = view.texts(control_status_line);
    const auto last_failure = std::find(texts.rbegin(), texts.rend(), failure);
    for (auto at = texts.rbegin(); at != last_failure; ++at) EXPECT_EQ(at->rfind("Ready", 0), 0u) << *at;

    // Failed again and held again, the failure gives way at once to the next
    // operation's start.
    ASSERT_EQ(start_operation(*state), 0);
    ASSERT_TRUE(idle());
    ASSERT_TRUE(status_starts_with("Unable to sync from "));
    view.clear();
    ASSERT_EQ(start_operation(*state), 0);
    EXPECT_EQ(view.texts(control_status_line).front(), "");
    ASSERT_TRUE(idle());
    const auto steps = status_from("Initialising...");
    EXPECT_EQ(std::count(steps.begin(), steps.end(), "Initialising..."), 4);  // once per attempt
    EXPECT_EQ(steps.back().rfind("Unable to sync from ", 0), 0u);
}

// In the tray the tip shows a held outcome in place of the countdown.
TEST_F(worker_fixture, TheTrayTipShowsAHeldOutcomeThenTheCountdown) {
    state->auto_due = 2;
    const std::uint64_t now = tick_count64();
    state->due_start_tick = now;
    state->due_period_ms = 45'000;
    hold_status_text(*state);
    const std::string failure = "Unable to sync from 127.0.0.3";
    EXPECT_EQ(tray_tip_text(*state, now + 5'000, failure), failure);
    EXPECT_EQ(tray_tip_text(*state, now + status_text_hold_ms + 1'000, failure), "34 Scs until AutoSync");
    EXPECT_EQ(tray_tip_text(*state, now, ""), "45 Scs until AutoSync");
}

TEST_F(worker_fixture, AStartThatFindsTheEngineIdleFindsTheLastOperationEnded) {
    // Time between the end's two steps, as a busy machine may give: a click
    // that sees the engine idle must not have its own operation undone by
    // the end of the one before.
    set_operation_end_pause([] { std::this_thread::sleep_for(std::chrono::milliseconds(300)); });
    sntp_responder answering(sntp_reply_now);
    sntp_responder silent(sntp_responder::silent());
    state->engine.sntp_port = answering.port();
    status_refresh_ms = 500;  // the window is shown
    start_worker(*state);
    ASSERT_EQ(start_operation(*state), 0);
    ASSERT_TRUE(idle());
    EXPECT_EQ(view.last_text(control_check_button), "Check");
    EXPECT_EQ(status_refresh_ms.load(), 500);

    // The click, at once.
    state->engine.sntp_port = silent.port();
    ASSERT_EQ(start_operation(*state), 0);
    ASSERT_TRUE(status_shows("Waiting for reply from 127.0.0.1"));
    EXPECT_EQ(view.last_text(control_check_button), "Abort");
    EXPECT_EQ(status_refresh_ms.load(), 100);
    abort_query(state->engine);
    set_event(state->worker_event);
    ASSERT_TRUE(idle());
    EXPECT_EQ(view.last_text(control_check_button), "Check");
    EXPECT_EQ(status_refresh_ms.load(), 500);  // not the 100 ms of an operation for good
}

TEST_F(worker_fixture, AbortEndsTheOperationAndGivesTheButtonsBack) {
    // An automatic operation on the list, which a failure would carry on.
    write_list({"127.0.0.1", "127.0.0.2"});
    state->engine.server_source = source_list;
    state->auto_due = 2;
    sntp_responder server(sntp_responder::silent());
    state->engine.sntp_port = server.port();
    start_worker(*state);
    ASSERT_EQ(start_operation(*state), 0);
    ASSERT_TRUE(status_shows("Waiting for reply from 127.0.0.1"));
    // What the window's Abort button does.
    abort_operation(*state);
    restore_idle_controls(*state);
    show_ready_next(*state);
    EXPECT_EQ(view.last_text(control_check_button), "Check");
    EXPECT_EQ(view.tooltips().back().text, "Check the time but don't change it");
    const auto enables = view.enables();
    ASSERT_GE(enables.size(), 4u);
    EXPECT_EQ(enables[enables.size() - 2].control, control_correct_button);
    EXPECT_EQ(enables[enables.size() - 2].text, "enabled");
    EXPECT_EQ(enables.back().control, control_options_button);
    EXPECT_EQ(enables.back().text, "enabled");
    ASSERT_TRUE(idle());
    EXPECT_EQ(state->engine.busy.load(), 0);
    EXPECT_EQ(state->engine.server_index, 0);
    EXPECT_EQ(view.last_text(control_status_line), "Unable to sync from 127.0.0.1");
    EXPECT_EQ(state->auto_due.load(), 2);
}

TEST_F(worker_fixture, AResultIsHeldThenReadyThenTheCountdown) {
    status_refresh_ms = 5;
    hold_status_text(*state);
    state->auto_due = 2;
    state->due_start_tick = tick_count64();
    state->due_period_ms = 3'725'000 + 500;
    // Both built-in servers run, on free ports.
    state->settings.time_server_enabled = 1;
    state->time_server_port = 0;
    state->sntp_server_port = 0;
    view.set_text(control_status_line, "Time Checked, Difference found ");
    start_worker(*state);
    ASSERT_TRUE(wait_until([&] { return state->server_state == 3; }, 5000));
    clock.tick_shift = status_text_hold_ms;
    ASSERT_TRUE(status_shows("Ready (TIME and SNTP Server Active)"));
    clock.tick_shift = status_text_hold_ms + status_ready_hold_ms;
    ASSERT_TRUE(status_shows("1 Hrs, 1 Mns until AutoSync (TIME and SNTP Server Active) - Never synced"));
    const auto texts = status_from("Time Checked, Difference found ");
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(status_hold_at(*state, tick_count64()), status_hold_stage::free);
    // The local time and date are on show.
    EXPECT_NE(view.last_text(control_local_time).find("\r\n"), std::string::npos);
}

TEST_F(worker_fixture, CountdownTexts) {
    EXPECT_EQ(countdown_text(*state, 3'725'000, false), "1 Hrs, 2 Mns until AutoSync");
    EXPECT_EQ(countdown_text(*state, 90'061'000, false), "1 Dys, 1 Hrs until AutoSync");
    EXPECT_EQ(countdown_text(*state, 45'000, true), "45 Scs until AutoCheck");
    EXPECT_EQ(countdown_text(*state, -5'000, false), "-5 Scs until AutoSync");
    EXPECT_EQ(countdown_text(*state, 60'000, false), "1 Mns, 0 Scs until AutoSync");
    EXPECT_EQ(countdown_text(*state, 86'400'000, true), "1 Dys, 0 Scs until AutoCheck");
    // The refresh request of a restored window is taken back with the text.
    state->auto_due = 11;
    state->due_start_tick = tick_count64();
    state->due_period_ms = 45'500;
    EXPECT_EQ(format_countdown(*state), "45 Scs until AutoCheck");
    EXPECT_EQ(state->auto_due.load(), 1);
}

TEST_F(worker_fixture, TheServiceStartsWithAutoSyncEveryFourHoursAndSyncsWhenDue) {
    running_as_service = 1;
    window_mode = window_service;
    state->status_hold_until = status_hold_forever;
    state->settings.autosync_enabled = 0;
    state->settings.autocheck_enabled = 1;
    sntp_responder server(sntp_reply_now);
    state->engine.sntp_port = server.port();
    start_worker(*state);
    ASSERT_TRUE(status_shows("Started Service, 4 Hrs until AutoSync"));
    EXPECT_EQ(state->settings.autocheck_enabled, 0);
    EXPECT_LE(status_refresh_ms.load(), 30'000);
    // The first AutoSync comes 30 s after the start, then every period.
    EXPECT_EQ(state->due_period_ms.load(), 30'000);
    clock.tick_shift = 29'000;
    set_event(state->worker_event);
    // One second left: the worker looks in again then.
    ASSERT_TRUE(wait_until([&] { return status_refresh_ms == 1'000; }, 2000)) << status_refresh_ms.load();
    EXPECT_TRUE(clock.recorded_sets().empty());
    clock.tick_shift = 30'500;
    set_event(state->worker_event);
    ASSERT_TRUE(sets_reach(1));
    ASSERT_TRUE(idle());
    EXPECT_EQ(state->due_period_ms.load(), 4 * 3'600'000);
    clock.tick_shift = clock.tick_shift + 4 * 3'600'000 + 1'000;  // the period has passed
    set_event(state->worker_event);
    ASSERT_TRUE(sets_reach(2));
    ASSERT_TRUE(idle());
    // The service shows no step texts and no result on the status line.
    EXPECT_TRUE(status_from("Initialising...").empty());
    EXPECT_EQ(view.last_text(control_status_line), "Started Service, 4 Hrs until AutoSync");
}

// The service's AutoSync fails over as the window's does: SNTP timed out,
// then TIME on the same address sets the clock.
TEST_F(worker_fixture, TheServicesAutoSyncFailsOverAfterATimeOut) {
    running_as_service = 1;
    window_mode = window_service;
    sntp_responder silent(sntp_responder::silent());
    time_responder time(time_reply_bytes(filetime_to_ntp_timestamp(system_time_now()).seconds));
    ask_list_whose_sntp_is_silent(silent, time);
    start_worker(*state);
    ASSERT_TRUE(wait_until([&] { return state->due_period_ms != 0; }, 2000));
    clock.tick_shift = 30'500;  // the first AutoSync
    set_event(state->worker_event);
    ASSERT_TRUE(wait_until([&] { return !silent.requests().empty(); }, 5000));
    clock.tick_shift = clock.tick_shift + 6'000;  // past the attempt's time-out
    set_event(state->worker_event);
    ASSERT_TRUE(sets_reach(1));
    ASSERT_TRUE(idle());
    EXPECT_EQ(time.connections(), 1);
}

// A failed AutoSync is tried again after 1 minute, then 2, and once one
// succeeds the period runs again.
TEST_F(worker_fixture, TheServiceRetriesAFailedAutoSyncAfterOneMinuteThenTwo) {
    running_as_service = 1;
    window_mode = window_service;
    state->engine.sntp_port = 9;  // nothing answers: the attempt fails at once
    event_recorder events;
    start_worker(*state);
    ASSERT_TRUE(wait_until([&] { return state->due_period_ms == 30'000; }, 2000));
    auto fails_after = [&](std::uint32_t wait_ms, int failures, std::int64_t retry_ms) {
        clock.tick_shift = clock.tick_shift + wait_ms;
        set_event(state->worker_event);
        ASSERT_TRUE(wait_until([&] { return state->backoff.failures == failures; }, 5000)) << failures;
        ASSERT_TRUE(idle());
        set_event(state->worker_event);
        ASSERT_TRUE(wait_until([&] { return state->due_period_ms == retry_ms; }, 2000)) << failures;
    };
    fails_after(30'500, 1, 60'000);
    // Each failure goes to the event log with its server and its text.
    auto entries = events.entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].id, event_message::auto_failed);
    EXPECT_EQ(entries[0].kind, event_kind::warning);
    EXPECT_EQ(entries[0].strings, (std::vector<std::string>{"127.0.0.1", "Unable to sync from 127.0.0.1"}));
    // Not before its time.
    clock.tick_shift = clock.tick_shift + 58'000;
    set_event(state->worker_event);
    ASSERT_TRUE(wait_until([&] { return status_refresh_ms <= 2'000; }, 2000)) << status_refresh_ms.load();
    EXPECT_EQ(state->backoff.failures.load(), 1);
    fails_after(2'500, 2, 120'000);
    // The third failure in a row is logged, once, and heard by the listener.
    heard_events.clear();
    set_health_listener([](chronobel_state&, health_event event) { heard_events.push_back(event); });
    const std::string failing = "  Automatic time updates failed three times in a row\r\n";
    const std::string recovered = "  Automatic time updates work again\r\n";
    auto count_in_log = [&](const std::string& line) {
        const std::string log = data.read("dLog.txt");
        std::size_t count = 0;
        for (std::size_t at = log.find(line); at != std::string::npos; at = log.find(line, at + 1)) ++count;
        return count;
    };
    fails_after(120'500, 3, 240'000);
    EXPECT_EQ(count_in_log(failing), 1u);
    EXPECT_EQ(current_tray_look(state->health, health_period_ms(*state), tick_count64()), tray_look::failing);
    sntp_responder server(sntp_reply_now);
    state->engine.sntp_port = server.port();
    clock.tick_shift = clock.tick_shift + 240'500;
    set_event(state->worker_event);
    ASSERT_TRUE(sets_reach(1));
    ASSERT_TRUE(idle());
    set_health_listener(nullptr);
    EXPECT_EQ(state->backoff.failures.load(), 0);
    EXPECT_EQ(state->due_period_ms.load(), 4 * 3'600'000);
    EXPECT_EQ(count_in_log(failing), 1u);
    EXPECT_EQ(count_in_log(recovered), 1u);
    EXPECT_EQ(heard_events, (std::vector<health_event>{health_failing, health_recovered}));
    // Each notice is posted to the view (the window shows it as a balloon).
    const auto commands = view.commands();
    EXPECT_EQ(std::count(commands.begin(), commands.end(), command_health_changed), 2);
    EXPECT_EQ(state->health.pending.load(), health_failing | health_recovered);
    EXPECT_EQ(last_good_text(state->health, tick_count64()), "Last synced just now");
    // Three failures, the streak's notice and the recovery's; the correction
    // by less than a second is not entered.
    entries = events.entries();
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(entries[2].id, event_message::auto_failed);
    EXPECT_EQ(entries[3].id, event_message::auto_failed_three_times);
    EXPECT_EQ(entries[3].strings, (std::vector<std::string>{"127.0.0.1"}));
    EXPECT_EQ(entries[4].id, event_message::auto_works_again);
}

TEST(EventLog, DifferencesShowFiveDecimalsRoundedAndASignOnlyWhenNegative) {
    EXPECT_EQ(event_seconds_text(25'000'000), "2.50000");
    EXPECT_EQ(event_seconds_text(0), "0.00000");
    EXPECT_EQ(event_seconds_text(-49), "0.00000");
    EXPECT_EQ(event_seconds_text(-50), "-0.00001");
    EXPECT_EQ(event_seconds_text(9'999'950), "1.00000");
    EXPECT_EQ(event_seconds_text(-36'000'000'000'001), "-3600000.00000");
    EXPECT_EQ(event_seconds_text(INT64_MIN), "-922337203685.47758");
}

// A dead address first on the list: the same AutoSync goes on to the live
// server and sets the clock from it. The event log has the correction by
// more than a second, with its server and difference, and no failure; one
// by exactly a second, or one in the window, is not entered.
TEST_F(worker_fixture, TheServicesAutoSyncPassesADeadAddressAndSetsTheClockFromTheNext) {
    running_as_service = 1;
    window_mode = window_service;
    constexpr filetime ahead = 25'000'000;  // 2.5 s
    sntp_responder server([](const byte_string& request) {
        const filetime later = system_time_now() + ahead;
        const sntp_packet p = sntp_server_reply(request, later, later);
        return byte_string(p.begin(), p.end());
    });
    write_list({"127.0.0.2", "127.0.0.1"});
    state->engine.server_source = source_list;
    state->engine.sntp_port = server.port();
    event_recorder events;
    start_worker(*state);
    ASSERT_TRUE(wait_until([&] { return state->due_period_ms == 30'000; }, 2000));
    clock.tick_shift = 30'500;
    set_event(state->worker_event);
    ASSERT_TRUE(sets_reach(1));
    ASSERT_TRUE(idle());
    EXPECT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(state->backoff.failures.load(), 0);

    auto entries = events.entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].id, event_message::clock_corrected);
    EXPECT_EQ(entries[0].kind, event_kind::information);
    ASSERT_EQ(entries[0].strings.size(), 2u);
    EXPECT_EQ(entries[0].strings[0], "127.0.0.1");
    // The difference the query found, which the loopback's round trip (long
    // on a loaded machine) blurs around the server's 2.5 s.
    EXPECT_EQ(entries[0].strings[1], event_seconds_text(offset_to_filetime_units(state->engine.offset)));
    EXPECT_NEAR(std::stod(entries[0].strings[1]), 2.5, 0.5) << entries[0].strings[1];
    report_service_correction(*state, logged_correction_units);
    report_service_correction(*state, -logged_correction_units);
    report_service_correction(*state, -logged_correction_units - 1);
    running_as_service = 0;
    report_service_correction(*state, 2 * logged_correction_units);
    entries = events.entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].strings, (std::vector<std::string>{"127.0.0.1", "-1.00000"}));
}

// A resume or a new address asks for a resynchronisation: one AutoSync after
// the settle delay, and no second one within the minute.
TEST_F(worker_fixture, AResumeOrANewAddressSyncsOnceSettledAndNotTwiceInAMinute) {
    sntp_responder server(sntp_reply_now);
    state->engine.sntp_port = server.port();
    state->settings.autosync_enabled = 1;
    start_worker(*state);
    ASSERT_TRUE(wait_until([&] { return state->worker_running == 1; }, 2000));
    // The passes of the worker show, as each writes the clock.
    auto passes_go_on = [&] {
        const std::size_t seen = view.texts(control_local_time).size();
        return wait_until([&] { return view.texts(control_local_time).size() > seen + 3; }, 5000);
    };
    ask_resync(*state);  // what the address watch does
    ASSERT_TRUE(passes_go_on());
    EXPECT_TRUE(clock.recorded_sets().empty()) << "not before it settled";
    clock.tick_shift = 10'500;
    ASSERT_TRUE(sets_reach(1));
    ASSERT_TRUE(idle());
    ask_resync(*state);  // a resume 10 s after
    clock.tick_shift = clock.tick_shift + 10'500;
    ASSERT_TRUE(passes_go_on());
    EXPECT_EQ(clock.recorded_sets().size(), 1u) << "once a minute at most";
    clock.tick_shift = clock.tick_shift + 50'000;  // a minute after the first
    ASSERT_TRUE(sets_reach(2));
    ASSERT_TRUE(idle());
    EXPECT_EQ(state->resync.pending.load(), 0);
    EXPECT_TRUE(resumed_between(1'000, 1'000 + resume_jump_ms));
}

// The service's resume (its power event) does the same between its AutoSyncs.
TEST_F(worker_fixture, TheServiceSyncsOnceSettledAfterAResume) {
    running_as_service = 1;
    window_mode = window_service;
    sntp_responder server(sntp_reply_now);
    state->engine.sntp_port = server.port();
    start_worker(*state);
    ASSERT_TRUE(wait_until([&] { return state->due_period_ms == 30'000; }, 2000));
    clock.tick_shift = 30'500;  // the first AutoSync
    set_event(state->worker_event);
    // Generous limits: the whole suite runs beside this test, and only the
    // test clock's time decides when the operations start.
    ASSERT_TRUE(sets_reach(1));
    ASSERT_TRUE(idle());
    handle_service_control(*state, service_control_powerevent, power_event_resumed);
    clock.tick_shift = clock.tick_shift + 10'500;
    set_event(state->worker_event);
    ASSERT_TRUE(sets_reach(2));
    ASSERT_TRUE(idle());
    EXPECT_EQ(state->resync.pending.load(), 0);
    EXPECT_FALSE(resumed_between(1'000, resume_jump_ms));
}

TEST_F(worker_fixture, TheServiceStartMessageNamesTheServer) {
    running_as_service = 1;
    window_mode = window_service;
    state->status_hold_until = status_hold_forever;
    state->settings.time_server_enabled = 1;
    state->settings.autosync_enabled = 0;
    state->time_server_port = 0;  // free ports
    state->sntp_server_port = 0;
    start_worker(*state);
    EXPECT_TRUE(status_shows("Started Service, TIME and SNTP Server Active "));
}

TEST_F(worker_fixture, StoppingPostsTheExitCommandOrLeavesWinsockToItsUsers) {
    start_worker(*state);
    ASSERT_TRUE(wait_until([&] { return state->worker_running == 1; }, 2000));
    stop_worker();
    EXPECT_EQ(state->worker_running.load(), 0);
    EXPECT_EQ(view.commands(), (std::vector<int>{command_exit_after_stop}));

    // The service: the stop message; the socket library's count is left to
    // its users (here one that still holds it), the worker took no use.
    state->stop_requested = 0;
    running_as_service = 1;
    window_mode = window_service;
    view.clear();
    ASSERT_EQ(acquire_winsock(state->engine), 0);
    start_worker(*state);
    ASSERT_TRUE(wait_until([&] { return state->worker_running == 1; }, 2000));
    stop_worker();
    EXPECT_EQ(view.last_text(control_status_line), "Service Stopped");
    EXPECT_EQ(state->engine.winsock_users.load(), 1);
    EXPECT_TRUE(view.commands().empty());
    release_winsock(state->engine);
}

TEST_F(worker_fixture, AThreadThatOverrunsTheProgramsEndIsLoggedAndTheProcessEnds) {
#ifdef __SANITIZE_THREAD__
    GTEST_SKIP() << "a forked child may not start threads under ThreadSanitizer";
#endif
    // Forked, so that the child writes the log in this test's directory.
    GTEST_FLAG_SET(death_test_style, "fast");
    EXPECT_EXIT(
        {
            start_program_thread(*state, program_thread::sntp_server,
                                 [](chronobel_state&) { std::this_thread::sleep_for(std::chrono::seconds(10)); });
            end_program_threads(*state, 100);
        },
        ::testing::ExitedWithCode(threads_overran_exit_code), "");
    EXPECT_NE(data.read("dLog.txt").find("  Thread did not end in time: SNTP server\r\n"), std::string::npos);
}

// Out of the box (Auto) a check asks SNTP first and shows the difference to
// the millisecond; with TIME alone it shows the whole seconds TIME can know.
TEST_F(worker_fixture, AutoChecksOverSntpFirstAndTimeShowsWholeSeconds) {
    clock.freeze_at(E1900 + 3'786'868'800ULL * 10'000'000 + 3'000'000);  // 2020-01-01 12:00:00.3 UTC
    constexpr filetime five_s = 50'000'000;
    sntp_responder sntp([](const byte_string& request) {
        const filetime ahead = system_time_now() + five_s;
        const sntp_packet p = sntp_server_reply(request, ahead, ahead);
        return byte_string(p.begin(), p.end());
    });
    time_responder time(time_reply_bytes(filetime_to_ntp_timestamp(system_time_now() + five_s).seconds));
    state->engine.sntp_port = sntp.port();
    state->engine.time_port = time.port();
    state->engine.protocol = protocol_auto;
    state->engine.auto_protocol = protocol_time;  // as a TIME query left it
    state->settings.log_response = 0;
    state->engine.date_range_enabled = 0;  // the clock stands in 2020
    start_worker(*state);
    state->correct_requested = 0;
    ASSERT_EQ(start_operation(*state), 0);
    ASSERT_TRUE(status_shows("Time Checked, Difference found as 5.00000 Scs"));
    ASSERT_TRUE(idle());
    EXPECT_EQ(time.connections(), 0);

    state->engine.protocol = protocol_time;
    ASSERT_EQ(start_operation(*state), 0);
    ASSERT_TRUE(status_shows("Time Checked, Difference found as 5 Scs"));
    ASSERT_TRUE(idle());
    EXPECT_EQ(time.connections(), 1);
    EXPECT_TRUE(clock.recorded_sets().empty());
}
