// The 48-byte SNTP packet (RFC 4330) and the 4-byte TIME reply (RFC 868),
// with every multi-byte field big-endian on the wire.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include "engine/ntp_time.h"

namespace orvane {

constexpr std::size_t sntp_packet_size = 48;
using sntp_packet = std::array<std::uint8_t, sntp_packet_size>;
static_assert(sizeof(sntp_packet) == 48);

// Byte positions of the fields.
constexpr std::size_t sntp_stratum_at = 1;
constexpr std::size_t sntp_reference_at = 16;
constexpr std::size_t sntp_originate_at = 24;
constexpr std::size_t sntp_receive_at = 32;
constexpr std::size_t sntp_transmit_at = 40;
static_assert(sntp_transmit_at + 8 == sntp_packet_size);

// First byte of a request: leap indicator 0, version 3, mode 3 (client).
constexpr std::uint8_t sntp_client_request = 0x1B;
constexpr int sntp_mode_client = 3;
constexpr int sntp_mode_server = 4;
constexpr int sntp_mode_broadcast = 5;
constexpr int sntp_leap_unsynchronised = 3;

constexpr std::size_t time_reply_size = 4;

constexpr std::uint32_t read_be32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

constexpr void write_be32(std::uint8_t* p, std::uint32_t value) {
    p[0] = static_cast<std::uint8_t>(value >> 24);
    p[1] = static_cast<std::uint8_t>(value >> 16);
    p[2] = static_cast<std::uint8_t>(value >> 8);
    p[3] = static_cast<std::uint8_t>(value);
}

constexpr ntp_timestamp read_timestamp(const sntp_packet& packet, std::size_t at) {
    return {read_be32(&packet[at]), read_be32(&packet[at + 4])};
}

constexpr void write_timestamp(sntp_packet& packet, std::size_t at, ntp_timestamp t) {
    write_be32(&packet[at], t.seconds);
    write_be32(&packet[at + 4], t.fraction);
}

constexpr int sntp_leap_indicator(const sntp_packet& packet) { return packet[0] >> 6; }
constexpr int sntp_version(const sntp_packet& packet) { return (packet[0] >> 3) & 7; }
constexpr int sntp_mode(const sntp_packet& packet) { return packet[0] & 7; }
constexpr int sntp_stratum(const sntp_packet& packet) { return packet[sntp_stratum_at]; }

// The value the client writes into the request's Originate Timestamp field:
// T1 − E1900 as a signed number, ÷ 10^7, × 429, rounded (extended precision).
// Servers only echo it, so its unusual scale does no harm.
std::int64_t request_originate_value(filetime t1);

// A client request: 0x1B, 23 zero bytes, the originate value of `t1`, 8
// zero bytes, and the Transmit Timestamp `transmit` (see request_transmit),
// which a server echoes as the reply's Originate Timestamp.
sntp_packet make_sntp_request(filetime t1, ntp_timestamp transmit = {});
// The Transmit Timestamp of a request sent at `t1`: its time, with the low 8
// bits of the fraction (below 100 ns) taken from `noise`, so that a forged
// reply cannot guess it from the time alone.
ntp_timestamp request_transmit(filetime t1, std::uint32_t noise);

// The client's checks of a reply (the sanity rules of RFC 4330), numbered in
// the order they are made; the first that fails names the reason. The
// Originate Timestamp is not compared, so servers that do not echo it still
// work.
enum class sntp_reply_check : int {
    passed = 0,
    not_server_reply = 1,    // mode neither server (4) nor broadcast (5)
    kiss_o_death = 2,        // stratum 0: the server tells the client to go away
    unsynchronised = 3,      // leap indicator 3: the server has no time itself
    zero_transmit_time = 4,  // a Transmit Timestamp of zero carries no time
};
constexpr int sntp_reply_check_count = 4;

sntp_reply_check check_sntp_reply(const sntp_packet& reply);
// The reason a log line gives for a failed check ("kiss-o'-death"); empty
// for `passed` and for a number outside the checks.
const char* sntp_reply_check_reason(int check);

// What an accepted reply says, with T1 (request sent) and T4 (reply
// arrived) read from the local clock.
struct sntp_reading {
    std::int64_t offset = 0;           // server minus local, 2^-32 s
    std::uint32_t server_seconds = 0;  // the Transmit Timestamp's seconds
    filetime server_time = 0;          // the Transmit Timestamp as a filetime
    // Round trip less the server's hold, (T4 − T1) − (T3 − T2), and what the
    // server admits of its own error, root delay / 2 + root dispersion; both
    // in 2^-32 s.
    std::int64_t delay = 0;
    std::int64_t allowance = 0;
};
// Checks the reply and, when it passes, reads it into `reading`.
sntp_reply_check read_sntp_reply(const sntp_packet& reply, filetime t1, filetime t4, sntp_reading& reading);

// The seconds since 1900 of a TIME reply of which `received` bytes came in
// one piece; 0 (no answer) unless exactly four came and not all zero.
std::uint32_t time_reply_seconds(const std::uint8_t (&reply)[time_reply_size], int received);

}  // namespace orvane
