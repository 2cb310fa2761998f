// TIME queries (RFC 868) against small servers on 127.0.0.1.
#include <gtest/gtest.h>
#include "engine/ntp_time.h"
#include "support/loopback_servers.h"
#include "support/query_harness.h"
#include "sys/clock.h"
#include "sys/sockets.h"
#include "support/test_clock.h"

using namespace orvane;
using namespace orvane::testing;

namespace {

filetime utc(std::uint16_t year, std::uint16_t month, std::uint16_t day) {
    filetime t = 0;
    EXPECT_TRUE(system_time_to_filetime({year, month, 0, day, 0, 0, 0, 0}, t));
    return t;
}

// 2024-03-01 00:00:00 UTC as seconds since 1900.
constexpr std::uint32_t march_2024 = 3'918'240'000u;

}  // namespace

TEST(QueryTime, ReplyBecomesServerSecondsAndValidResult) {
    time_responder server(time_reply_bytes(march_2024));
    query_harness q;
    q.engine.protocol = protocol_time;
    q.engine.time_port = server.port();
    q.engine.sntp_port = 1;  // never used for TIME
    EXPECT_EQ(q.run(), query_ok);
    EXPECT_EQ(q.engine.failed.load(), 0);
    EXPECT_EQ(q.engine.phase.load(), phase_result_valid);
    EXPECT_EQ(q.engine.server_seconds, march_2024);
    EXPECT_EQ(q.engine.server_time, utc(2024, 3, 1));
    EXPECT_EQ(q.engine.offset, 0);
    EXPECT_EQ(q.engine.server_address_text, "127.0.0.1");
    EXPECT_GE(q.engine.response_ms, 0);
    EXPECT_EQ(q.engine.busy.load(), 0);
    EXPECT_EQ(q.engine.in_progress.load(), 1);  // until the worker finishes with it
    EXPECT_EQ(q.engine.query_socket.load(), no_socket);  // the query closed its socket
    EXPECT_EQ(q.engine.winsock_users.load(), 0);

    finish_query(q.engine);
    EXPECT_EQ(q.engine.in_progress.load(), 0);
    EXPECT_EQ(q.engine.phase.load(), phase_prepared);
    EXPECT_EQ(q.engine.server_seconds, march_2024);  // results stay until the next prepare
}

TEST(QueryTime, RepliesThatAreNoTimeFail) {
    // Four zero bytes; fewer than four bytes; a connection refused.
    const byte_string zeros(4, 0), short_reply{0x12, 0x34};
    for (const byte_string& reply : {zeros, short_reply}) {
        time_responder server(reply);
        query_harness q;
        q.engine.time_port = server.port();
        EXPECT_EQ(q.run(), query_socket_error);
        EXPECT_EQ(q.engine.failed.load(), 1);
        EXPECT_EQ(q.engine.phase.load(), phase_awaiting_reply);  // a failure keeps its phase
        EXPECT_EQ(q.engine.server_seconds, 0u);
    }
    std::uint16_t closed_port = 0;
    {
        time_responder gone({});
        closed_port = gone.port();
    }
    query_harness q;
    q.engine.time_port = closed_port;
    EXPECT_EQ(q.run(), query_socket_error);  // connection refused
    EXPECT_EQ(q.engine.phase.load(), phase_connecting);
    EXPECT_EQ(q.engine.failed.load(), 1);
}

TEST(QueryTime, ServerThatClosesSilentlyFailsAfterOneHundredEmptyReceives) {
    time_responder server({});  // accepts, sends nothing, closes
    scoped_test_clock clock;
    clock.clock.freeze_at(utc(2024, 3, 1));
    clock.clock.tick_frozen = true;
    clock.clock.frozen_tick = 5000;
    clock.clock.instant_sleep = true;  // each 1 ms pause moves the ticks by 1
    query_harness q;
    q.engine.time_port = server.port();
    EXPECT_EQ(q.run(), query_socket_error);
    EXPECT_EQ(q.engine.failed.load(), 1);
    EXPECT_EQ(clock.clock.frozen_tick.load(), 5000u + 100u);
}

TEST(QueryTime, DateRangeIsTestedOnTheHighWordAndWidenedBy1500) {
    // A reply in the same 429.5 s block as date_after is accepted; one block
    // earlier is refused and moves date_after 1500 blocks down; the same on
    // the date_before side.
    const filetime after = utc(2024, 3, 1) + 123'456'789;  // low word not 0
    const std::uint32_t block = high_word(after);
    auto seconds_in_block = [](std::uint32_t high) {  // first whole second in that block
        return static_cast<std::uint32_t>((make_filetime(high, 0) - E1900 + 9'999'999) / 10'000'000);
    };
    struct attempt {
        std::uint32_t seconds;
        bool accepted;
        std::uint32_t after_high, before_high;
    };
    const std::uint32_t before_block = block + 100;
    const attempt attempts[] = {
        {seconds_in_block(block), true, block, before_block},
        {seconds_in_block(block - 1), false, block - 1500, before_block},
        {seconds_in_block(before_block), true, block, before_block},
        {seconds_in_block(before_block + 1), false, block, before_block + 1500},
    };
    for (const attempt& a : attempts) {
        time_responder server(time_reply_bytes(a.seconds));
        query_harness q;
        q.engine.time_port = server.port();
        q.engine.date_range_enabled = 1;
        q.engine.date_range_auto_reset = 1;
        q.engine.date_after = after;
        q.engine.date_before = make_filetime(before_block, 0xFFFF'0000u);
        EXPECT_EQ(q.run(), query_ok);
        EXPECT_EQ(q.engine.failed.load(), a.accepted ? 0 : 1) << a.seconds;
        EXPECT_EQ(q.engine.phase.load(), a.accepted ? phase_result_valid : phase_reply_converted);
        EXPECT_EQ(high_word(q.engine.date_after), a.after_high);
        EXPECT_EQ(low_word(q.engine.date_after), low_word(after));
        EXPECT_EQ(high_word(q.engine.date_before), a.before_high);
    }
    // Without auto-reset a refused reply leaves the bounds alone.
    time_responder server(time_reply_bytes(seconds_in_block(block - 1)));
    query_harness q;
    q.engine.time_port = server.port();
    q.engine.date_range_enabled = 1;
    q.engine.date_after = after;
    q.engine.date_before = make_filetime(before_block, 0);
    q.run();
    EXPECT_EQ(q.engine.failed.load(), 1);
    EXPECT_EQ(q.engine.date_after, after);
}

TEST(QueryTime, RepliesOfTheNextEraConvertPast2036) {
    // 2037-01-01 is 28,402,304 in 32-bit seconds (top bit clear): era 1.
    const filetime new_year_2037 = utc(2037, 1, 1);
    ASSERT_EQ(filetime_to_ntp_timestamp(new_year_2037).seconds, 28'402'304u);
    time_responder server(time_reply_bytes(28'402'304u));
    query_harness q;
    q.engine.time_port = server.port();
    q.engine.date_range_enabled = 1;  // a range around 2037 accepts it
    q.engine.date_after = utc(2036, 12, 1);
    q.engine.date_before = utc(2037, 12, 1);
    EXPECT_EQ(q.run(), query_ok);
    EXPECT_EQ(q.engine.phase.load(), phase_result_valid);
    EXPECT_EQ(q.engine.server_time, new_year_2037);
    EXPECT_EQ(filetime_to_system_time(q.engine.server_time).year, 2037);
}

TEST(QueryTime, ImplausibleLocalClockForcesTimeWithoutKeepAlive) {
    // SNTP is selected, but a clock in 2012 or after 2145-05-30 (and just
    // outside the window's edges) is not trusted: the query asks the TIME
    // port over TCP, without keep-alive. On the edges SNTP is used.
    struct clock_case {
        filetime now;
        bool forced;
    };
    const clock_case cases[] = {
        {utc(2012, 6, 1), true},
        {utc(2145, 6, 1), true},
        {make_filetime(plausible_clock_low - 1, 0xFFFF'FFFFu), true},
        {make_filetime(plausible_clock_high + 1, 0), true},
        {make_filetime(plausible_clock_low, 0), false},
        {make_filetime(plausible_clock_high, 0xFFFF'FFFFu), false},
    };
    for (const clock_case& c : cases) {
        scoped_test_clock clock;
        clock.clock.freeze_at(c.now);
        time_responder time_server(time_reply_bytes(march_2024), true);
        sntp_responder sntp_server([](const byte_string& request) {
            const sntp_packet reply = sntp_server_reply(request, E1900 + 1, E1900 + 1);
            return byte_string(reply.begin(), reply.end());
        });
        query_harness q;
        q.engine.protocol = protocol_sntp;
        q.engine.time_port = time_server.port();
        q.engine.sntp_port = sntp_server.port();
        q.start();
        if (c.forced) {
            ASSERT_TRUE(time_server.wait_for_connections(1));
            ASSERT_TRUE(q.wait_for_phase(phase_awaiting_reply));
            EXPECT_FALSE(keepalive_enabled(q.engine.query_socket.load()));
            time_server.release();
            ASSERT_TRUE(q.join());
            EXPECT_EQ(q.engine.force_time_protocol.load(), 1);
            EXPECT_EQ(q.engine.server_seconds, march_2024);
            EXPECT_TRUE(sntp_server.requests().empty());
        } else {
            ASSERT_TRUE(q.join());
            EXPECT_EQ(q.engine.force_time_protocol.load(), 0);
            EXPECT_EQ(sntp_server.requests().size(), 1u);
            EXPECT_EQ(time_server.connections(), 0);
        }
        EXPECT_EQ(q.engine.failed.load(), 0);
    }
}

TEST(QueryTime, SelectedTimeSetsKeepAliveAndAutoFollowsItsChoice) {
    time_responder server(time_reply_bytes(march_2024), true);
    query_harness q;
    q.engine.protocol = protocol_auto;
    q.engine.auto_protocol = protocol_time;
    q.engine.time_port = server.port();
    q.start();
    ASSERT_TRUE(server.wait_for_connections(1));
    ASSERT_TRUE(q.wait_for_phase(phase_awaiting_reply));
    EXPECT_TRUE(keepalive_enabled(q.engine.query_socket.load()));
    server.release();
    ASSERT_TRUE(q.join());
    EXPECT_EQ(q.engine.phase.load(), phase_result_valid);
}
