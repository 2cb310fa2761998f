// The server scan against servers on 127.0.0.1: answering, refusing and
// silent ones, and a stop in the middle of a blocked exchange.
#include <gtest/gtest.h>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include "support/loopback_servers.h"
#include "sys/clock.h"
#include "ui/server_scan.h"

using namespace orvane;
using namespace orvane::testing;
using namespace std::chrono_literals;

namespace {

sntp_responder answering_sntp() {
    return sntp_responder([](const byte_string& request) {
        const sntp_packet reply = sntp_server_reply(request, system_time_now(), system_time_now());
        return byte_string(reply.begin(), reply.end());
    });
}

// Collects the rows as the notices announce them.
struct row_collector {
    std::mutex mutex;
    std::condition_variable changed;
    int notices = 0;

    server_scan::change_notice notice() {
        return [this] {
            std::lock_guard<std::mutex> lock(mutex);
            ++notices;
            changed.notify_all();
        };
    }
    // The scan has finished and its last notice has come (it follows the end).
    bool wait_for(server_scan& scan, int expected_notices, std::chrono::seconds limit) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, limit, [&] { return scan.finished() && notices >= expected_notices; });
    }
    int count() {
        std::lock_guard<std::mutex> lock(mutex);
        return notices;
    }
};

}  // namespace

TEST(ServerScan, MeasuresEveryServerInTurnAndMarksTheOnesThatDoNotAnswer) {
    time_responder time_a(time_reply_bytes(3'900'000'000u)), time_b(time_reply_bytes(3'900'000'001u));
    sntp_responder sntp_a = answering_sntp();
    sntp_responder sntp_b = answering_sntp();
    time_responder time_silent({}, true);
    sntp_responder sntp_silent = sntp_responder::silent();
    const time_responder time6(time_reply_bytes(3'900'000'002u), false, ipv6_loopback);
    const sntp_responder sntp6(sntp_reply_now, ipv6_loopback);
    const std::uint16_t dead = closed_port();
    const std::vector<scan_target> targets = {
        {"127.0.0.1", time_a.port(), sntp_a.port()},
        {"localhost", time_b.port(), sntp_b.port()},
        {"127.0.0.1", dead, dead},
        {"127.0.0.1", time_silent.port(), sntp_silent.port()},
        {"no-such-host..invalid", 37, 123},
        {"[::1]", time6.port(), sntp6.port()},
    };
    auto state = std::make_shared<chronobel_state>();
    row_collector rows;
    server_scan scan(state, targets, 500ms, rows.notice());
    ASSERT_TRUE(scan.running());
    ASSERT_TRUE(rows.wait_for(scan, static_cast<int>(targets.size()) + 1, 60s));

    const std::vector<scan_row> got = scan.take_rows();
    ASSERT_EQ(got.size(), targets.size());
    EXPECT_EQ(rows.count(), 7);  // one per row, one at the end
    for (int i = 0; i < 6; ++i) EXPECT_EQ(got[i].index, i);
    for (int i : {0, 1}) {
        EXPECT_EQ(got[i].address, "127.0.0.1");
        EXPECT_EQ(got[i].time.outcome, scan_outcome::answered) << i;
        EXPECT_EQ(got[i].sntp.outcome, scan_outcome::answered) << i;
        EXPECT_GE(got[i].time.ms, 0);
        EXPECT_EQ(scan_cell_text(*state, got[i].time), std::to_string(got[i].time.ms));
    }
    EXPECT_EQ(got[1].name, "localhost");
    EXPECT_EQ(sntp_a.requests().size(), 1u);
    EXPECT_EQ(got[2].time.outcome, scan_outcome::failed);  // refused at once
    // A datagram to a closed port is refused on Linux; under Wine it goes unanswered.
    EXPECT_NE(got[2].sntp.outcome, scan_outcome::answered);
    EXPECT_EQ(got[3].time.outcome, scan_outcome::timed_out);
    EXPECT_EQ(got[3].sntp.outcome, scan_outcome::timed_out);
    EXPECT_EQ(got[4].address, "");
    EXPECT_EQ(got[4].time.outcome, scan_outcome::failed);
    EXPECT_EQ(got[5].address, "::1");
    EXPECT_EQ(got[5].time.outcome, scan_outcome::answered);
    EXPECT_EQ(got[5].sntp.outcome, scan_outcome::answered);
    EXPECT_TRUE(scan.take_rows().empty());
    EXPECT_EQ(state->engine.winsock_users.load(), 0);
}

TEST(ServerScan, StopEndsABlockedExchangeAndDeliversNothingMore) {
    time_responder held({}, true);
    auto state = std::make_shared<chronobel_state>();
    row_collector rows;
    // Far longer than the test may take: only the stop can end this exchange.
    server_scan scan(state, {{"127.0.0.1", held.port(), held.port()}, {"127.0.0.1", held.port(), held.port()}}, 600s,
                     rows.notice());
    ASSERT_TRUE(held.wait_for_connections(1));
    const auto before = std::chrono::steady_clock::now();
    scan.stop(60s);
    EXPECT_LT(std::chrono::steady_clock::now() - before, 30s);
    EXPECT_TRUE(scan.take_rows().empty());
    EXPECT_FALSE(scan.finished());
    EXPECT_EQ(rows.count(), 0);
    EXPECT_EQ(held.connections(), 1);
    EXPECT_EQ(state->engine.winsock_users.load(), 0);
}
