// Queries against real time servers from Debian's packages on 127.0.0.1.
// Both read this machine's clock, so a sound query finds it (almost) equal
// to ours. Skipped when the program is not installed.
#include <gtest/gtest.h>
#include <cstdlib>
#include "support/peers.h"
#include "support/query_harness.h"
#include "sys/clock.h"

using namespace orvane;
using namespace orvane::testing;

namespace {

// Runs one query of `protocol` to `port` of 127.0.0.1; the other port leads nowhere.
void run_query_to(query_harness& q, std::int32_t protocol, std::uint16_t port) {
    q.engine.protocol = protocol;
    q.engine.time_port = protocol == protocol_time ? port : 1;
    q.engine.sntp_port = protocol == protocol_sntp ? port : 1;
    ASSERT_EQ(q.run(), query_ok);
    EXPECT_EQ(q.engine.phase.load(), phase_result_valid);
}

}  // namespace

TEST(QueryPeers, SntpFromChronydFindsOurOwnClock) {
    if (find_program("chronyd").empty()) GTEST_SKIP() << "chronyd is not installed";
    chronyd_peer chronyd;
    ASSERT_TRUE(chronyd.running()) << chronyd.why();
    query_harness q;
    run_query_to(q, protocol_sntp, chronyd.port());
    // Within 5 ms, in 2^-32 s units.
    const std::int64_t five_ms = (std::int64_t{1} << 32) / 200;
    EXPECT_LT(std::llabs(q.engine.offset), five_ms) << "offset " << q.engine.offset / 4294967.296 << " ms";
    const std::int64_t gap = static_cast<std::int64_t>(system_time_now() - q.engine.server_time);
    EXPECT_LT(std::llabs(gap), 10'000'000);
}

TEST(QueryPeers, TimeFromInetdFindsOurOwnClock) {
    if (find_program("xinetd").empty()) GTEST_SKIP() << "xinetd is not installed";
    inetd_time_peer inetd;
    ASSERT_TRUE(inetd.running()) << inetd.why();
    query_harness q;
    run_query_to(q, protocol_time, inetd.port());
    EXPECT_EQ(q.engine.offset, 0);
    // Whole seconds, cut: the server's time is at most a second behind ours.
    const std::int64_t behind = static_cast<std::int64_t>(system_time_now() - q.engine.server_time);
    EXPECT_GE(behind, -1'000'000);  // 100 ms of slack either way
    EXPECT_LT(behind, 11'000'000);
}
