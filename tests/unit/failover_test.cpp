// What follows a failed query: the other protocol, the next server of the
// list, or the end of the operation after one round; and the quick sync's
// round by the same rule.
#include <gtest/gtest.h>
#include <regex>
#include "app/startup.h"
#include "engine/failover.h"
#include "engine/quick_sync.h"
#include "engine/sync_result.h"
#include "engine/sntp_packet.h"
#include "support/loopback_servers.h"
#include "support/worker_fixture.h"
#include "sys/clock.h"
#include "sys/sockets.h"
#include "support/test_clock.h"
#include "sys/threads.h"

using namespace orvane;
using namespace orvane::testing;

namespace {

struct failover_fixture : operation_fixture {
    void SetUp() override {
        operation_fixture::SetUp();
        state->worker_event = create_manual_event();
        const std::uint16_t port = closed_port();
        state->engine.sntp_port = port;
        state->engine.time_port = port;
        state->settings.sync_timeout_s = 5;
    }
    // Runs the query now prepared and waits until it has failed.
    void run_to_failure() {
        ASSERT_TRUE(wait_until([this] { return state->engine.busy == 0; }, 5000));
        ASSERT_TRUE(state->engine.failed);
    }
    std::string attempt() {
        const query_engine& e = state->engine;
        return e.server_name + (effective_protocol(e) == protocol_sntp ? " SNTP" : " TIME");
    }
};

}  // namespace

TEST_F(failover_fixture, AutoTriesEachServerOverSntpThenTimeRoundTheList) {
    write_list({"127.0.0.1", "127.0.0.2", "127.0.0.3"});
    query_engine& e = state->engine;
    e.protocol = protocol_auto;
    e.auto_protocol = protocol_sntp;
    e.server_index = 1;
    state->auto_due = 2;
    ASSERT_EQ(select_current_server(*state), 0);
    begin_failover_round(e);
    ASSERT_EQ(prepare_query(e), 0);
    ASSERT_TRUE(start_query_thread(*state));
    std::vector<std::string> attempts{attempt()};
    for (int i = 0; i < 5; ++i) {
        run_to_failure();
        ASSERT_TRUE(handle_failed_query(*state)) << i;
        attempts.push_back(attempt());
    }
    run_to_failure();
    EXPECT_EQ(attempts, (std::vector<std::string>{"127.0.0.2 SNTP", "127.0.0.2 TIME", "127.0.0.3 SNTP",
                                                  "127.0.0.3 TIME", "127.0.0.1 SNTP", "127.0.0.1 TIME"}));
    // Round the list once: the operation ends as failed with the last server.
    EXPECT_FALSE(handle_failed_query(*state));
    EXPECT_EQ(view.last_text(control_status_line), "Unable to sync from 127.0.0.1");
    // Errors are logged with the server's name.
    EXPECT_NE(data.read("dLog.txt").find("  No response from 127.0.0.2\r\n"), std::string::npos);
}

TEST(failover_plan, AutoTakesTimeAfterSntpThenTheNextServerOnceRound) {
    // A list of three, begun at position 1.
    failover_position at{protocol_auto, protocol_sntp, 1, 1, 3, 0, 5'000};
    std::vector<std::pair<int, int>> attempts{{1, protocol_sntp}};
    for (next_attempt next = plan_next_attempt(at); !next.done; next = plan_next_attempt(at)) {
        EXPECT_EQ(next.next_server, next.server_index != at.server_index);
        at.server_index = next.server_index;
        at.auto_protocol = next.auto_protocol;
        attempts.emplace_back(at.server_index, at.auto_protocol);
        ASSERT_LT(attempts.size(), 10u);
    }
    EXPECT_EQ(attempts, (std::vector<std::pair<int, int>>{{1, protocol_sntp}, {1, protocol_time}, {2, protocol_sntp},
                                                          {2, protocol_time}, {0, protocol_sntp}, {0, protocol_time}}));
    // One protocol chosen: each server once. A single address, or no list, ends at once.
    EXPECT_EQ(plan_next_attempt({protocol_time, protocol_sntp, 2, 0, 3, 0, 5'000}).server_index, 0);
    EXPECT_TRUE(plan_next_attempt({protocol_sntp, protocol_sntp, 2, 0, 3, 0, 5'000}).done);
    EXPECT_TRUE(plan_next_attempt({protocol_sntp, protocol_sntp, 0, 0, 1, 0, 5'000}).done);
    EXPECT_FALSE(plan_next_attempt({protocol_auto, protocol_sntp, 0, 0, 1, 0, 5'000}).done);
    EXPECT_TRUE(plan_next_attempt({protocol_auto, protocol_time, 0, 0, 1, 0, 5'000}).done);
    EXPECT_TRUE(plan_next_attempt({protocol_time, protocol_sntp, 0, 0, 0, 0, 5'000}).done);
    // Four time-outs are the whole operation's time.
    EXPECT_TRUE(plan_next_attempt({protocol_auto, protocol_sntp, 0, 0, 3, 20'000, 5'000}).done);
    EXPECT_EQ(attempt_limit_ms(5'000, 0), 5'000u);
    EXPECT_EQ(attempt_limit_ms(5'000, 17'000), 3'000u);
    EXPECT_EQ(attempt_limit_ms(5'000, 20'001), 0u);
}

TEST_F(failover_fixture, SntpAloneAsksEachServerOnce) {
    write_list({"127.0.0.1", "127.0.0.2"});
    query_engine& e = state->engine;
    e.protocol = protocol_sntp;
    e.auto_protocol = protocol_sntp;
    state->auto_due = 1;
    select_current_server(*state);
    begin_failover_round(e);
    ASSERT_EQ(prepare_query(e), 0);
    start_query_thread(*state);
    run_to_failure();
    ASSERT_TRUE(handle_failed_query(*state));
    EXPECT_EQ(attempt(), "127.0.0.2 SNTP");
    run_to_failure();
    EXPECT_FALSE(handle_failed_query(*state));
}

// Refused at once, as the defaults (Use List, Auto, AutoSync armed) ask: one
// round, a log line per server and protocol, and the timer stays armed.
TEST_F(failover_fixture, ACheckAgainstRefusedServersEndsAsFailedAfterOneRound) {
    write_list({"127.0.0.1", "127.0.0.2"});
    state->auto_due = 2;
    start_worker(*state);
    state->correct_requested = 0;
    ASSERT_EQ(start_operation(*state), 0);
    ASSERT_TRUE(wait_until([this] { return state->engine.in_progress == 0; }, 5000));
    const std::string log = data.read("dLog.txt");
    std::vector<std::string> failures;
    for (std::size_t at = log.find("No response from "); at != std::string::npos;
         at = log.find("No response from ", at + 1))
        failures.push_back(log.substr(at, log.find("\r\n", at) - at));
    EXPECT_EQ(failures, (std::vector<std::string>{"No response from 127.0.0.1", "No response from 127.0.0.1",
                                                  "No response from 127.0.0.2", "No response from 127.0.0.2"}));
    EXPECT_EQ(view.last_text(control_status_line), "Unable to sync from 127.0.0.2");
    EXPECT_EQ(state->auto_due.load(), 2);
}

TEST_F(failover_fixture, NoFailoverWithoutAnArmedTimerOnTheListOrWithDefaultServerOnly) {
    write_list({"127.0.0.1", "127.0.0.2"});
    query_engine& e = state->engine;
    e.protocol = protocol_auto;
    auto fails_once = [&](const char* why) {
        e.auto_protocol = protocol_sntp;
        e.server_index = 0;
        select_current_server(*state);
        ASSERT_EQ(prepare_query(e), 0) << why;
        start_query_thread(*state);
        run_to_failure();
        EXPECT_FALSE(handle_failed_query(*state)) << why;
        EXPECT_EQ(e.in_progress.load(), 1) << why;  // the operation has not ended yet
        end_operation(*state);
        EXPECT_EQ(e.in_progress.load(), 0) << why;
        EXPECT_EQ(e.server_index, 0) << why;
    };
    state->auto_due = 0;
    fails_once("no timer armed");
    state->auto_due = 2;
    state->settings.default_server_only = 1;
    fails_once("default server only");
    state->settings.default_server_only = 0;
    e.server_source = source_manual_a;
    e.manual_a = "127.0.0.1";
    fails_once("Manual A");
    e.server_source = source_manual_b;
    e.manual_b = "127.0.0.1";
    fails_once("Manual B");
    // The user's Abort ends the automatic operation too, and leaves the timer armed.
    e.server_source = source_list;
    e.operation_aborted = 1;
    e.abort_requested = 1;
    fails_once("aborted");
    EXPECT_EQ(state->auto_due.load(), 2);
}

TEST_F(failover_fixture, QuickSyncGoesOnceRoundTheListAndStopsAtTheFirstAnswer) {
    scoped_test_clock guard;
    // Nobody answers: every server with both protocols, once, then exit code 1.
    write_list({"127.0.0.1", "127.0.0.2", "127.0.0.3"});
    state->engine.protocol = protocol_auto;
    state->engine.server_index = 1;
    EXPECT_EQ(run_quick_sync(*state, true), 1);
    EXPECT_EQ(view.texts(control_status_line),
              (std::vector<std::string>{"Unable to sync from 127.0.0.2", "Unable to sync from 127.0.0.2",
                                        "Unable to sync from 127.0.0.3", "Unable to sync from 127.0.0.3",
                                        "Unable to sync from 127.0.0.1", "Unable to sync from 127.0.0.1"}));
    EXPECT_TRUE(guard.clock.recorded_sets().empty());

    // The second server answers over TIME only: its correction ends the round.
    view.clear();
    time_responder server(time_reply_bytes(filetime_to_ntp_timestamp(system_time_now()).seconds));
    state->engine.time_port = server.port();
    write_list({"127.0.0.2", "127.0.0.1", "127.0.0.3"});
    state->engine.server_index = 0;
    EXPECT_EQ(run_quick_sync(*state, true), 0);
    ASSERT_EQ(guard.clock.recorded_sets().size(), 1u);
    EXPECT_EQ(guard.clock.recorded_sets()[0].year, system_time_now_record().year);
    EXPECT_EQ(view.last_text(control_status_line).rfind("Time Corrected in ", 0), 0u);
    EXPECT_EQ(server.connections(), 1);

    // A check sets nothing and still exits 0 with a result.
    EXPECT_EQ(run_quick_sync(*state, false), 0);
    EXPECT_EQ(guard.clock.recorded_sets().size(), 1u);
    // Over TIME the difference is known in whole seconds (0, or 1 across a second's edge).
    const std::string checked = view.last_text(control_status_line);
    EXPECT_TRUE(std::regex_match(checked, std::regex("Time Checked, Difference found as -?[01] Scs in [0-9]+ms")))
        << checked;
    // A refused clock change is a failure, and no other server is tried for it.
    guard.clock.refuse_sets = true;
    EXPECT_EQ(run_quick_sync(*state, true), 1);
    EXPECT_EQ(view.last_text(control_status_line), "Error setting Time Change Privileges");
    EXPECT_EQ(server.connections(), 3);
}

TEST_F(failover_fixture, QuickSyncAsksANamedHostAloneAndLogsWhyItsReplyWasRefused) {
    // The named host, not the list's server, is asked, and sends a kiss-o'-death.
    write_list({"127.0.0.2"});
    sntp_responder named([](const byte_string& request) {
        sntp_packet reply = sntp_server_reply(request, system_time_now(), system_time_now());
        reply[sntp_stratum_at] = 0;
        return byte_string(reply.begin(), reply.end());
    });
    state->engine.sntp_port = named.port();
    state->engine.protocol = protocol_sntp;
    state->engine.server_index = 0;
    EXPECT_EQ(run_quick_sync(*state, false, "127.0.0.1"), 1);
    EXPECT_EQ(view.texts(control_status_line), std::vector<std::string>{"Unable to sync from 127.0.0.1"});
    EXPECT_EQ(named.requests().size(), 1u);
    const std::string log = data.read("dLog.txt");
    EXPECT_NE(log.find("  No response from 127.0.0.1 (kiss-o'-death)\r\n"), std::string::npos) << log;
    EXPECT_EQ(state->engine.server_index, 0);
}
