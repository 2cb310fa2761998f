// "Average": four servers on 127.0.0.2 to .5 (the relay in the process puts
// them on one port, each in front of a responder of its own), asked together.
#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>
#include <memory>
#include <regex>
#include "app/startup.h"
#include "engine/average_query.h"
#include "engine/ntp_time.h"
#include "engine/worker.h"
#include "server/sntp_reply.h"
#include "support/loopback_servers.h"
#include "support/test_clock.h"
#include "support/udp_relay.h"
#include "support/worker_fixture.h"
#include "sys/clock.h"
#include "sys/threads.h"

using namespace orvane;
using namespace orvane::testing;

namespace {

constexpr filetime second = 10'000'000;

// A UDP port free on 127.0.0.2 (and so, most likely, on .3 to .5).
std::uint16_t free_port() {
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    parse_loopback_endpoint("127.0.0.2:0", a);
    bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a);
    socklen_t size = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size);
    close(fd);
    return ntohs(a.sin_port);
}

// A server `ahead` of this clock that states a root dispersion of so many seconds.
sntp_responder::shaper ahead_by(filetime ahead, std::uint32_t dispersion_s = 0) {
    return [ahead, dispersion_s](const byte_string& request) {
        const filetime t = system_time_now() + ahead;
        sntp_packet p = sntp_server_reply(request, t, t);
        write_be32(&p[sntp_root_dispersion_at], dispersion_s << 16);  // 16.16 seconds
        return byte_string(p.begin(), p.end());
    };
}

struct average_fixture : operation_fixture {
    scoped_test_clock guard;  // records corrections; the time runs as the real one
    std::vector<std::unique_ptr<sntp_responder>> servers;
    udp_relay relay;

    // Servers .2 to .5, each ahead of this clock by the given seconds.
    void start_servers(const std::vector<int>& ahead_s) {
        std::vector<sntp_responder::shaper> shapers;
        for (int s : ahead_s) shapers.push_back(ahead_by(s * second));
        start_servers(shapers);
    }
    // Servers .2 onwards, one for each shaper, the list holding just them.
    void start_servers(const std::vector<sntp_responder::shaper>& shapers) {
        std::vector<relay_route> routes;
        std::vector<std::string> list;
        const std::uint16_t port = free_port();
        for (std::size_t i = 0; i < shapers.size(); ++i) {
            list.push_back("127.0.0." + std::to_string(i + 2));
            servers.push_back(std::make_unique<sntp_responder>(shapers[i]));
            relay_route route;
            ASSERT_TRUE(parse_loopback_endpoint(list.back() + ":" + std::to_string(port), route.listen));
            ASSERT_TRUE(parse_loopback_endpoint("127.0.0.1:" + std::to_string(servers.back()->port()), route.server));
            routes.push_back(route);
        }
        std::string error;
        ASSERT_TRUE(relay.start(routes, relay_settings{}, error)) << error;
        write_list(list);
        state->engine.sntp_port = port;
        state->engine.time_port = 1;  // never asked
        state->engine.server_source = source_list;
        state->engine.server_index = 2;  // Average asks from the top of the list all the same
        state->settings.average = 1;
        state->settings.sync_timeout_s = 10;
        state->settings.log_checks = 1;
        state->settings.log_response = 0;
        state->worker_event = create_manual_event();
    }
    bool status_matches(const std::string& pattern) {
        const std::regex wanted(pattern);
        const bool seen = wait_until([&] { return std::regex_match(view.last_text(control_status_line), wanted); }, 8000);
        if (!seen) ADD_FAILURE() << "status line: " << ::testing::PrintToString(view.texts(control_status_line));
        return seen;
    }
    bool idle() { return wait_until([&] { return state->engine.in_progress == 0; }, 8000); }
    // A check or correction, to its status line and end.
    bool operate(bool correct, const std::string& status_pattern) {
        state->correct_requested = correct ? 1 : 0;
        return start_operation(*state) == 0 && status_matches(status_pattern) && idle();
    }
    // The query's own limit never strikes and no request is sent again.
    void freeze_ticks() {
        guard.clock.frozen_tick = tick_count();
        guard.clock.tick_frozen = true;
    }
};

}  // namespace

TEST_F(average_fixture, OneServerTenSecondsOffIsLeftOutAndNamed) {
    start_servers({2, 2, 12, 2});
    start_worker(*state);
    ASSERT_TRUE(operate(false, R"(Time Checked, Difference found as (2\.00|1\.99)\d{3} Scs \(3 of 4 servers\))"));
    // Every server was asked up to four times, all over SNTP.
    for (const auto& server : servers) EXPECT_GE(server->requests().size(), 1u);
    EXPECT_LE(servers[2]->requests().size(), 4u);
    const std::string log = data.read("dLog.txt");
    EXPECT_NE(log.find("  Left out, disagreeing with the others: 127.0.0.4\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("(3 of 4 servers), Server used was 127.0.0.2, 127.0.0.3, 127.0.0.5\r\n"), std::string::npos)
        << log;
    EXPECT_TRUE(guard.clock.recorded_sets().empty());

    // A correction sets the clock by the agreeing servers' difference.
    const filetime before = system_time_now();
    ASSERT_TRUE(operate(true, R"(Time Corrected by (2\.00|1\.99)\d{3} Scs \(3 of 4 servers\) in \d+ms)"));
    const auto sets = guard.clock.recorded_sets();
    ASSERT_EQ(sets.size(), 1u);
    filetime set_to = 0;
    ASSERT_TRUE(system_time_to_filetime(sets[0], set_to));
    EXPECT_GE(set_to, before + 2 * second - second / 10);
    EXPECT_LE(set_to, system_time_now() + 2 * second + second / 10);
}

TEST_F(average_fixture, TwoAgainstTwoSetsNothingAndSaysWhy) {
    start_servers({2, 2, 12, 12});
    state->auto_due = 1;  // an automatic operation: still no failover to one server
    start_worker(*state);
    ASSERT_TRUE(operate(true, R"(No majority of servers agree \(2 of 4\); time not used)"));
    EXPECT_TRUE(guard.clock.recorded_sets().empty());
    const std::string log = data.read("dLog.txt");
    EXPECT_NE(log.find("  No majority of servers agree (2 of 4); time not used: 127.0.0.2, 127.0.0.3, 127.0.0.4, "
                       "127.0.0.5\r\n"),
              std::string::npos)
        << log;
}

TEST_F(average_fixture, AServerThatAdmitsAnHourOfErrorCannotMoveTheClock) {
    // One honest server, one an hour ahead that states an hour of dispersion:
    // its interval holds the honest time, so without a limit on what a
    // server may admit, the two "agree" and their mean is half an hour off.
    start_servers({ahead_by(0), ahead_by(3600 * second, 3600)});
    start_worker(*state);
    ASSERT_TRUE(operate(true, R"(No majority of servers agree \(1 of 2\); time not used)"));
    EXPECT_TRUE(guard.clock.recorded_sets().empty());
    EXPECT_FALSE(servers[1]->requests().empty());
}

TEST_F(average_fixture, AMajorityWithTwoExchangesEachAnswersWithoutTheSilentFourth) {
    start_servers({ahead_by(2 * second), ahead_by(2 * second), ahead_by(2 * second),
                   [](const byte_string&) { return byte_string{}; }});
    freeze_ticks();  // so only the agreeing majority can end the gathering
    start_worker(*state);
    ASSERT_TRUE(operate(false, R"(Time Checked, Difference found as (2\.00|1\.99)\d{3} Scs \(3 of 4 servers\))"));
    for (std::size_t i = 0; i < 3; ++i) EXPECT_GE(servers[i]->requests().size(), 2u);
    // The silent one had its first exchange and, once the others' round trip
    // was known, a second alongside; no request was sent again.
    EXPECT_EQ(servers[3]->requests().size(), std::size_t{average_exchanges_at_once});
}

TEST_F(average_fixture, ServersThatAnswerOnceAndThenDropAreDoneWithAfterTwoAndAHalfSeconds) {
    // As rate-limiting servers do: the first request is answered, later ones dropped.
    const auto first_only = [] {
        auto answered = std::make_shared<std::atomic<bool>>(false);
        return [answered](const byte_string& request) {
            return answered->exchange(true) ? byte_string{} : ahead_by(2 * second)(request);
        };
    };
    start_servers({first_only(), first_only(), first_only(), first_only()});
    freeze_ticks();
    start_worker(*state);
    state->correct_requested = 0;
    ASSERT_EQ(start_operation(*state), 0);
    // The answer began the next exchange, and the round trip it gave a second
    // one alongside: three requests each, the last two unanswered.
    ASSERT_TRUE(wait_until([&] {
        return std::all_of(servers.begin(), servers.end(), [](const auto& s) { return s->requests().size() >= 3; });
    }, 8000));
    EXPECT_EQ(view.last_text(control_status_line).find("Time Checked"), std::string::npos);
    guard.clock.frozen_tick += average_enough_after_ms;  // not yet the query's limit
    ASSERT_TRUE(status_matches(R"(Time Checked, Difference found as (2\.00|1\.99)\d{3} Scs \(4 of 4 servers\))"));
    ASSERT_TRUE(idle());
}
