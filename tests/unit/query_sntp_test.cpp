// SNTP queries (RFC 4330) against a small responder on 127.0.0.1 whose
// replies each test shapes, with the test clock standing in for the system
// clock.
#include <gtest/gtest.h>
#include <atomic>
#include <mutex>
#include <thread>
#include "engine/ntp_time.h"
#include "engine/sntp_packet.h"
#include "support/loopback_servers.h"
#include "support/query_harness.h"
#include "support/test_clock.h"

using namespace orvane;
using namespace orvane::testing;

namespace {

// 2020-01-01 12:00:00.5 UTC.
constexpr filetime noon_2020 = E1900 + 3'786'868'800ULL * 10'000'000 + 5'000'000;
constexpr std::int64_t second = 10'000'000;

byte_string bytes_of(const sntp_packet& p) { return byte_string(p.begin(), p.end()); }

// A responder whose server clock is `server_now` (Receive and Transmit).
sntp_responder::shaper server_at(filetime server_now) {
    return [server_now](const byte_string& request) { return bytes_of(sntp_server_reply(request, server_now, server_now)); };
}

struct sntp_query : query_harness {
    explicit sntp_query(const sntp_responder& server) {
        engine.protocol = protocol_sntp;
        engine.sntp_port = server.port();
        engine.time_port = 1;  // never used for SNTP
    }
};

}  // namespace

TEST(QuerySntp, RequestOnTheWire) {
    scoped_test_clock clock;
    clock.clock.freeze_at(noon_2020);
    sntp_responder server(server_at(noon_2020));
    sntp_query q(server);
    EXPECT_EQ(q.run(), query_ok);
    const std::vector<byte_string> requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    // 0x1B, 23 zero bytes, V, 8 zero bytes, the Transmit Timestamp. V = (T1 −
    // E1900) ÷ 10^7 × 429, rounded: 3,786,868,800.5 × 429 = 1,624,566,715,414.5 → ...415.
    byte_string expected(48, 0);
    expected[0] = 0x1B;
    const byte_string v{0x00, 0x00, 0x01, 0x7A, 0x3F, 0xB8, 0xD4, 0x17};
    std::copy(v.begin(), v.end(), expected.begin() + 24);
    EXPECT_EQ(byte_string(requests[0].begin(), requests[0].begin() + 40),
              byte_string(expected.begin(), expected.begin() + 40));
    // E1 B7 08 40 seconds, 0x80000000 (half a second) with random low 8 bits.
    EXPECT_EQ(byte_string(requests[0].begin() + 40, requests[0].begin() + 47),
              (byte_string{0xE1, 0xB7, 0x08, 0x40, 0x80, 0x00, 0x00}));
    EXPECT_EQ(request_originate_value(noon_2020), 1'624'566'715'415);
}

TEST(QuerySntp, OffsetIsExactInBinaryUnits) {
    // Server 100 s ahead, 2.5 s ahead, 0.5 s behind; server clock fractions
    // that lie near a whole second convert without the 1 ms error of ÷429.
    struct offset_case {
        std::int64_t server_minus_local;  // 100 ns units
        std::int64_t offset;              // 2^-32 s units
    };
    const offset_case cases[] = {
        {100 * second, std::int64_t{100} << 32},
        {25 * second / 10, (std::int64_t{2} << 32) + 2'147'483'648},
        {-5 * second / 10, -(std::int64_t{1} << 31)},
        {second - 1, ((std::int64_t{1} << 32) * 9'999'999 + 5'000'000) / 10'000'000},
    };
    for (const offset_case& c : cases) {
        scoped_test_clock clock;
        clock.clock.freeze_at(noon_2020);
        const filetime server_now = noon_2020 + static_cast<filetime>(c.server_minus_local);
        sntp_responder server(server_at(server_now));
        sntp_query q(server);
        EXPECT_EQ(q.run(), query_ok);
        EXPECT_EQ(q.engine.phase.load(), phase_result_valid);
        EXPECT_EQ(q.engine.offset, c.offset) << c.server_minus_local;
        EXPECT_EQ(q.engine.server_time, server_now);
        EXPECT_EQ(q.engine.server_seconds, filetime_to_ntp_timestamp(server_now).seconds);
    }
}

TEST(QuerySntp, RequestTimeIsReadRightBeforeTheSend) {
    // The clock moves by 5 s while the query waits to start the socket
    // library (held here through winsock_mutex). The Originate value and the
    // offset use the reading at the send, not the one of the clock check.
    scoped_test_clock clock;
    clock.clock.freeze_at(noon_2020);
    const filetime later = noon_2020 + 5 * second;
    sntp_responder server(server_at(later + second));
    sntp_query q(server);
    {
        std::unique_lock<std::mutex> hold(q.engine.winsock_mutex);
        q.start();
        ASSERT_TRUE(q.wait_for_phase(phase_started));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));  // past its clock check
        clock.clock.freeze_at(later);
    }
    ASSERT_TRUE(q.join());
    EXPECT_EQ(q.engine.phase.load(), phase_result_valid);
    EXPECT_EQ(q.engine.offset, std::int64_t{1} << 32);  // not 3.5 s
    ASSERT_EQ(server.requests().size(), 1u);
    const byte_string request = server.requests()[0];
    sntp_packet sent{};
    std::copy(request.begin(), request.end(), sent.begin());
    const ntp_timestamp v = read_timestamp(sent, sntp_originate_at);
    EXPECT_EQ((std::int64_t{v.seconds} << 32) | v.fraction, request_originate_value(later));
}

TEST(QuerySntp, RepliesThatBreakTheClientRulesFailWithTheirReason) {
    struct rule_case {
        const char* what;
        void (*spoil)(sntp_packet&);
        const char* reason;  // empty: usable
    };
    const rule_case cases[] = {
        {"client mode", [](sntp_packet& p) { p[0] = 0x1B; }, "not a server reply"},
        {"mode 0", [](sntp_packet& p) { p[0] = 0x18; }, "not a server reply"},
        {"mode 6", [](sntp_packet& p) { p[0] = 0x1E; }, "not a server reply"},
        {"stratum 0", [](sntp_packet& p) { p[1] = 0; }, "kiss-o'-death"},
        {"leap indicator 3", [](sntp_packet& p) { p[0] |= 0xC0; }, "unsynchronised server"},
        {"zero transmit time", [](sntp_packet& p) { write_timestamp(p, sntp_transmit_at, {}); }, "zero transmit time"},
        {"broadcast mode", [](sntp_packet& p) { p[0] = 0x1D; }, ""},
        {"leap indicator 1", [](sntp_packet& p) { p[0] |= 0x40; }, ""},
        {"version 4, stratum 15", [](sntp_packet& p) { p[0] = 0x24; p[1] = 15; }, ""},
    };
    scoped_test_clock clock;
    clock.clock.freeze_at(noon_2020);
    for (const rule_case& c : cases) {
        sntp_responder server([&c](const byte_string& request) {
            sntp_packet reply = sntp_server_reply(request, noon_2020, noon_2020);
            c.spoil(reply);
            return bytes_of(reply);
        });
        sntp_query q(server);
        const bool usable = *c.reason == '\0';
        // To callers a refused reply stays a socket error; the reason is the engine's.
        EXPECT_EQ(q.run(), usable ? query_ok : query_socket_error) << c.what;
        EXPECT_EQ(q.engine.failed.load(), usable ? 0 : 1) << c.what;
        EXPECT_EQ(q.engine.phase.load(), usable ? phase_result_valid : phase_awaiting_reply) << c.what;
        EXPECT_STREQ(sntp_reply_check_reason(q.engine.reply_check.load()), c.reason) << c.what;
    }
}

TEST(QuerySntp, RepliesThatAreNotOnePacketFail) {
    // A short datagram is not a reply: the query waits on for a whole one.
    // A refused port ends the exchange with a socket error.
    scoped_test_clock clock;
    clock.clock.freeze_at(noon_2020);
    sntp_responder server([](const byte_string& request) {
        const sntp_packet reply = sntp_server_reply(request, noon_2020, noon_2020);
        return byte_string(reply.begin(), reply.begin() + 47);
    });
    sntp_query q(server);
    q.start();
    ASSERT_TRUE(q.wait_for_phase(phase_awaiting_reply));
    for (int i = 0; i < 500 && server.requests().empty(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the short answer has arrived
    EXPECT_EQ(q.engine.busy.load(), 1);
    EXPECT_EQ(q.engine.phase.load(), phase_awaiting_reply);
    EXPECT_EQ(abort_query(q.engine), 0);
    ASSERT_TRUE(q.join());
    EXPECT_EQ(q.engine.failed.load(), 1);
    EXPECT_EQ(q.engine.phase.load(), phase_awaiting_reply);

#ifndef _WIN32  // Wine does not report a refused datagram; the receive waits for the time-out
    std::uint16_t closed_port = 0;
    {
        sntp_responder gone = sntp_responder::silent();
        closed_port = gone.port();
    }
    query_harness refused;
    refused.engine.protocol = protocol_sntp;
    refused.engine.sntp_port = closed_port;
    EXPECT_EQ(refused.run(), query_socket_error);
    EXPECT_EQ(refused.engine.failed.load(), 1);
#endif
}

TEST(QuerySntp, TimestampsOfTheNextEraConvertPast2036) {
    // Local clock and server in 2037: the 32-bit seconds have wrapped, and
    // the offset, the server time and the date-range test still see 2037.
    filetime new_year_2037 = 0;
    ASSERT_TRUE(system_time_to_filetime({2037, 1, 0, 1, 0, 0, 0, 0}, new_year_2037));
    scoped_test_clock clock;
    clock.clock.freeze_at(new_year_2037);
    sntp_responder server(server_at(new_year_2037 + 3 * second));
    sntp_query q(server);
    q.engine.date_range_enabled = 1;
    q.engine.date_after = new_year_2037 - 86'400 * second;
    q.engine.date_before = new_year_2037 + 86'400 * second;
    EXPECT_EQ(q.run(), query_ok);
    EXPECT_EQ(q.engine.phase.load(), phase_result_valid);
    EXPECT_EQ(q.engine.offset, std::int64_t{3} << 32);
    EXPECT_EQ(q.engine.server_time, new_year_2037 + 3 * second);
    EXPECT_EQ(filetime_to_system_time(q.engine.server_time).year, 2037);
}

TEST(QuerySntp, AReplyThatAnswersNoRequestIsIgnoredAndTheRealOneTaken) {
    // The first request gets a reply whose Originate is not echoed at all,
    // the second (a second later) one whose Originate misses its Transmit
    // Timestamp by a bit above the random low byte, so it cannot match the
    // first request either (a stray or forged datagram, 50 s off): both are
    // ignored. The third, 2 s after, gets a true one, 2 s ahead.
    scoped_test_clock clock;
    clock.clock.freeze_at(noon_2020);
    std::atomic<int> seen{0};
    sntp_responder server([&seen](const byte_string& request) {
        sntp_packet reply = sntp_server_reply(request, noon_2020 + 2 * second, noon_2020 + 2 * second);
        const int n = seen++;
        if (n < 2) reply = sntp_server_reply(request, noon_2020 + 50 * second, noon_2020 + 50 * second);
        if (n == 0) write_timestamp(reply, sntp_originate_at, {1, 2});
        if (n == 1) reply[sntp_originate_at + 6] ^= 1;
        return bytes_of(reply);
    });
    sntp_query q(server);
    EXPECT_EQ(q.run(), query_ok);
    EXPECT_EQ(q.engine.offset, std::int64_t{2} << 32);
    const std::vector<byte_string> requests = server.requests();
    ASSERT_EQ(requests.size(), 3u);
    // Each request has a Transmit Timestamp of its own; the rest is alike.
    EXPECT_NE(byte_string(requests[0].begin() + 40, requests[0].end()),
              byte_string(requests[1].begin() + 40, requests[1].end()));
    EXPECT_EQ(byte_string(requests[0].begin(), requests[0].begin() + 40),
              byte_string(requests[2].begin(), requests[2].begin() + 40));
    EXPECT_GE(q.engine.response_ms, 2900);
}
