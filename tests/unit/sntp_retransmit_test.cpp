// An SNTP query across a lossy path (the relay in the process): a lost
// request is sent again, and its answer is taken within the time-out.
#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <chrono>
#include <thread>
#include "engine/ntp_time.h"
#include "engine/sntp_exchange.h"
#include "support/loopback_servers.h"
#include "support/query_harness.h"
#include "support/udp_relay.h"
#include "sys/clock.h"

using namespace orvane;
using namespace orvane::testing;

namespace {

relay_route route_to(std::uint16_t server_port) {
    relay_route route;
    EXPECT_TRUE(parse_loopback_endpoint("127.0.0.1:0", route.listen));
    EXPECT_TRUE(parse_loopback_endpoint("127.0.0.1:" + std::to_string(server_port), route.server));
    return route;
}

}  // namespace

TEST(SntpRetransmit, ALostFirstRequestIsAnsweredByTheNextOneWithinTheTimeOut) {
    sntp_responder server(sntp_reply_now);
    udp_relay relay;
    relay_settings settings;
    settings.drop_first = 2;  // the first two requests are lost: the third (after 1 + 2 s) gets through
    settings.run_limit = std::chrono::milliseconds(15'000);
    std::string error;
    ASSERT_TRUE(relay.start({route_to(server.port())}, settings, error)) << error;

    query_harness q;
    q.engine.protocol = protocol_sntp;
    q.engine.sntp_port = relay.port(0);
    const auto began = std::chrono::steady_clock::now();
    EXPECT_EQ(q.run(), query_ok);
    const auto took = std::chrono::steady_clock::now() - began;
    EXPECT_EQ(q.engine.phase.load(), phase_result_valid);
    EXPECT_EQ(relay.counts().to_server_dropped, 2u);
    EXPECT_EQ(server.requests().size(), 1u);
    EXPECT_GE(took, std::chrono::milliseconds(2900));
    EXPECT_LT(took, std::chrono::seconds(15));  // within the default time-out
    // The offset comes from the request that was answered, not the first.
    EXPECT_LT(q.engine.offset < 0 ? -q.engine.offset : q.engine.offset, std::int64_t{1} << 28);  // < 63 ms
}

TEST(SntpRetransmit, AnAbortEndsTheWaitBetweenRequests) {
    sntp_responder server(sntp_responder::silent());
    query_harness q;
    q.engine.protocol = protocol_sntp;
    q.engine.sntp_port = server.port();
    q.start();
    ASSERT_TRUE(q.wait_for_phase(phase_awaiting_reply));
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));  // past the first retransmission
    const auto began = std::chrono::steady_clock::now();
    EXPECT_EQ(abort_query(q.engine), 0);
    ASSERT_TRUE(q.join());
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(2));  // not the next request's 2 s
    EXPECT_EQ(q.engine.failed.load(), 1);
    EXPECT_EQ(server.requests().size(), 2u);
}

TEST(SntpRetransmit, AShorterFirstGapKeepsTheProportionsAndTheExchangeThenGivesUp) {
    sntp_responder server(sntp_responder::silent());
    sntp_exchange x;
    x.socket = open_socket(socket_transport::udp);
    ASSERT_TRUE(connect_socket(x.socket, ipv4_from_text("127.0.0.1"), server.port()));
    const std::uint32_t t = 0xFFFF'FF00u;  // the tick count wraps on the way
    ASSERT_TRUE(x.send_if_due(t));
    EXPECT_EQ(x.wait_ms(t, 60'000), 1000u);  // the usual first gap
    x.first_gap_ms = 100;                    // shortened while the exchange runs
    EXPECT_EQ(x.wait_ms(t + 40, 60'000), 60u);
    const std::uint32_t sends[] = {99, 100, 299, 300, 699, 700, 2000};  // gaps of 100, 200, 400, then no more
    const int counts[] = {1, 2, 2, 3, 3, 4, 4};
    for (std::size_t i = 0; i < std::size(sends); ++i) {
        ASSERT_TRUE(x.send_if_due(t + sends[i]));
        EXPECT_EQ(x.sent_count, counts[i]) << sends[i];
    }
    EXPECT_FALSE(x.given_up(t + 1499));
    EXPECT_TRUE(x.given_up(t + 1500));  // twice the last gap after the last request
    close_socket(x.socket);
}
