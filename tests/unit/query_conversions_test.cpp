// The 32-bit seconds' era, the binary fractions and the offset arithmetic
// that the query and the built-in servers share.
#include <gtest/gtest.h>
#include <limits>
#include "engine/ntp_time.h"
#include "engine/sntp_packet.h"

using namespace orvane;

namespace {
system_time date_of(filetime t) { return filetime_to_system_time(t); }
}  // namespace

TEST(QueryConversions, SecondsBelongToTheEraTheirTopBitNames) {
    struct era_case {
        std::uint32_t seconds;
        system_time when;
    };
    const era_case cases[] = {
        {0x8000'0000u, {1968, 1, 6, 20, 3, 14, 8, 0}},
        {0xFFFF'FFFFu, {2036, 2, 4, 7, 6, 28, 15, 0}},
        {0, {2036, 2, 4, 7, 6, 28, 16, 0}},
        {28'402'304u, {2037, 1, 4, 1, 0, 0, 0, 0}},
        {0x7FFF'FFFFu, {2104, 2, 2, 26, 9, 42, 23, 0}},
    };
    for (const era_case& c : cases) {
        const system_time got = date_of(ntp_seconds_to_filetime(c.seconds));
        EXPECT_EQ(got.year, c.when.year) << c.seconds;
        EXPECT_EQ(got.month, c.when.month) << c.seconds;
        EXPECT_EQ(got.day, c.when.day) << c.seconds;
        EXPECT_EQ(got.hour * 3600 + got.minute * 60 + got.second, c.when.hour * 3600 + c.when.minute * 60 + c.when.second)
            << c.seconds;
        // Servers write the same seconds back for that time.
        EXPECT_EQ(filetime_to_ntp_timestamp(ntp_seconds_to_filetime(c.seconds)).seconds, c.seconds);
    }
}

TEST(QueryConversions, FractionsConvertExactlyBothWays) {
    // 2^31 is half a second, not 5,005,870 units as ÷429 would make it; a
    // fraction just short of a second rounds up to the whole second.
    const filetime base = ntp_seconds_to_filetime(0x9000'0000u);
    EXPECT_EQ(ntp_timestamp_to_filetime({0x9000'0000u, 0x8000'0000u}) - base, 5'000'000u);
    EXPECT_EQ(ntp_timestamp_to_filetime({0x9000'0000u, 0xFFFF'FFFFu}) - base, 10'000'000u);
    EXPECT_EQ(ntp_timestamp_to_filetime({0x9000'0000u, 429}) - base, 1u);
    EXPECT_EQ(filetime_to_ntp_timestamp(base + 5'000'000), (ntp_timestamp{0x9000'0000u, 0x8000'0000u}));
    // Every 100 ns step survives the way to the wire and back.
    for (filetime step : {filetime{0}, filetime{1}, filetime{2}, filetime{4'999'999}, filetime{9'999'999}})
        EXPECT_EQ(ntp_timestamp_to_filetime(filetime_to_ntp_timestamp(base + step)), base + step) << step;
    EXPECT_EQ(filetime_to_ntp_timestamp(E1900 - 1), ntp_timestamp{});
}

TEST(QueryConversions, OffsetsAreWholeSecondsAndABinaryFraction) {
    const filetime t = ntp_seconds_to_filetime(0xE000'0000u);
    const filetime s = 10'000'000;
    // High word whole seconds, low word the fraction: 2.5 s is (2, 2^31).
    EXPECT_EQ(sntp_offset(t, t + 25 * s / 10, t + 25 * s / 10, t), (std::int64_t{2} << 32) + 0x8000'0000);
    // 3 s out, 1 s back: 2 s ahead; the half of an odd sum is kept.
    EXPECT_EQ(sntp_offset(t, t + 3 * s, t + 3 * s + 1, t + 2 * s), (std::int64_t{2} << 32) + 215);
    EXPECT_EQ(sntp_offset(t + 1, t, t, t), -215);  // −50 ns ≈ −214.7 units
    EXPECT_EQ(sntp_offset(t, t - s / 2, t - s / 2, t), -(std::int64_t{1} << 31));
    EXPECT_EQ(filetime_span_to_ntp_units(-1), -429);
    EXPECT_EQ(filetime_span_to_ntp_units(100 * s), std::int64_t{100} << 32);
    // Beyond ±68 years the offset is held at the limits rather than wrapping.
    const filetime far = E1900 + 2 * ntp_era_length;  // 2172
    EXPECT_EQ(sntp_offset(t, far, far, t), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(sntp_offset(t, E1900, E1900, t), std::numeric_limits<std::int64_t>::min());
    // A local clock in the year 30827 and a reply of 1900: the differences
    // alone pass 63 bits.
    const filetime clock_30827 = 0x7FFF'35F4'F06C'8000ULL;
    EXPECT_EQ(sntp_offset(clock_30827, E1900, E1900, clock_30827), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(sntp_offset(0, clock_30827, clock_30827, 0), std::numeric_limits<std::int64_t>::max());
}

TEST(QueryConversions, AReadingKnowsItsRoundTripAndTheServersStatedError) {
    // Sent at 10 s, received by the server at 10.1 s, sent back at 10.4 s,
    // arrived at 10.6 s: 0.3 s on the way. Root delay 0.5 s, dispersion 0.25 s.
    constexpr filetime s = 10'000'000;
    sntp_packet reply{};
    reply[0] = 0x1C;
    reply[sntp_stratum_at] = 2;
    write_be32(&reply[4], 0x8000);
    write_be32(&reply[8], 0x4000);
    write_timestamp(reply, sntp_receive_at, filetime_to_ntp_timestamp(E1900 + 101 * s / 10));
    write_timestamp(reply, sntp_transmit_at, filetime_to_ntp_timestamp(E1900 + 104 * s / 10));
    sntp_reading r;
    ASSERT_EQ(read_sntp_reply(reply, E1900 + 10 * s, E1900 + 106 * s / 10, r), sntp_reply_check::passed);
    EXPECT_NEAR(static_cast<double>(r.delay), 0.3 * 4294967296.0, 1000.0);
    EXPECT_EQ(r.allowance, (std::int64_t{1} << 30) + (std::int64_t{1} << 30));  // 0.25 + 0.25 s
    // Stamps centuries apart (a fuzzer's find): the trip is held, not wrapped.
    write_timestamp(reply, sntp_receive_at, {0x8000'0000u, 0});
    write_timestamp(reply, sntp_transmit_at, {0x7FFF'FFFFu, 0});
    ASSERT_EQ(read_sntp_reply(reply, filetime{1} << 63, 0, r), sntp_reply_check::passed);
    EXPECT_EQ(r.delay, std::numeric_limits<std::int64_t>::min());
}

TEST(QueryConversions, ReplyChecksAreMadeInOrderAndNamed) {
    sntp_packet reply{};
    reply[0] = 0x1C;
    reply[sntp_stratum_at] = 1;
    write_timestamp(reply, sntp_transmit_at, {0, 1});  // only the fraction: not zero
    EXPECT_EQ(check_sntp_reply(reply), sntp_reply_check::passed);
    EXPECT_EQ(sntp_mode(reply), sntp_mode_server);
    EXPECT_EQ(sntp_version(reply), 3);
    // Broken every way at once, a reply names the first check it fails.
    sntp_packet spoiled{};
    spoiled[0] = 0xDB;  // leap indicator 3, client mode; stratum 0, transmit zero
    EXPECT_EQ(check_sntp_reply(spoiled), sntp_reply_check::not_server_reply);
    spoiled[0] = 0xDC;
    EXPECT_EQ(check_sntp_reply(spoiled), sntp_reply_check::kiss_o_death);
    spoiled[sntp_stratum_at] = 2;
    EXPECT_EQ(check_sntp_reply(spoiled), sntp_reply_check::unsynchronised);
    spoiled[0] = 0x1C;
    EXPECT_EQ(check_sntp_reply(spoiled), sntp_reply_check::zero_transmit_time);
    EXPECT_STREQ(sntp_reply_check_reason(0), "");
    EXPECT_STREQ(sntp_reply_check_reason(2), "kiss-o'-death");
    EXPECT_STREQ(sntp_reply_check_reason(5), "");
    EXPECT_STREQ(sntp_reply_check_reason(-1), "");
    // A TIME reply is four bytes in one piece, not all zero.
    const std::uint8_t time_reply[time_reply_size] = {0xE1, 0xB7, 0x08, 0x40};
    EXPECT_EQ(time_reply_seconds(time_reply, 4), 3'786'868'800u);
    EXPECT_EQ(time_reply_seconds(time_reply, 3), 0u);
    EXPECT_EQ(time_reply_seconds(time_reply, -1), 0u);
}
