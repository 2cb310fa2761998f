#include "engine/sntp_packet.h"
#include <cmath>
#include <limits>

namespace orvane {

std::int64_t request_originate_value(filetime t1) {
    const long double since_1900 = static_cast<long double>(static_cast<std::int64_t>(t1 - E1900));
    return std::llroundl(since_1900 / 10'000'000.0L * 429.0L);
}

sntp_packet make_sntp_request(filetime t1, ntp_timestamp transmit) {
    sntp_packet request{};
    request[0] = sntp_client_request;
    const auto v = static_cast<std::uint64_t>(request_originate_value(t1));
    write_timestamp(request, sntp_originate_at, {static_cast<std::uint32_t>(v >> 32), static_cast<std::uint32_t>(v)});
    write_timestamp(request, sntp_transmit_at, transmit);
    return request;
}

ntp_timestamp request_transmit(filetime t1, std::uint32_t noise) {
    ntp_timestamp t = filetime_to_ntp_timestamp(t1);
    t.fraction = (t.fraction & ~0xFFu) | (noise & 0xFFu);
    return t;
}

sntp_reply_check check_sntp_reply(const sntp_packet& reply) {
    const int mode = sntp_mode(reply);
    if (mode != sntp_mode_server && mode != sntp_mode_broadcast) return sntp_reply_check::not_server_reply;
    if (sntp_stratum(reply) == 0) return sntp_reply_check::kiss_o_death;
    if (sntp_leap_indicator(reply) == sntp_leap_unsynchronised) return sntp_reply_check::unsynchronised;
    if (read_timestamp(reply, sntp_transmit_at) == ntp_timestamp{}) return sntp_reply_check::zero_transmit_time;
    return sntp_reply_check::passed;
}

const char* sntp_reply_check_reason(int check) {
    static const char* const reasons[sntp_reply_check_count + 1] = {
        "", "not a server reply", "kiss-o'-death", "unsynchronised server", "zero transmit time"};
    return check >= 0 && check <= sntp_reply_check_count ? reasons[check] : "";
}

sntp_reply_check read_sntp_reply(const sntp_packet& reply, filetime t1, filetime t4, sntp_reading& reading) {
    const sntp_reply_check check = check_sntp_reply(reply);
    if (check != sntp_reply_check::passed) return check;
    const ntp_timestamp transmit = read_timestamp(reply, sntp_transmit_at);
    const filetime t2 = ntp_timestamp_to_filetime(read_timestamp(reply, sntp_receive_at));
    const filetime t3 = ntp_timestamp_to_filetime(transmit);
    reading.offset = sntp_offset(t1, t2, t3, t4);
    reading.server_seconds = transmit.seconds;
    reading.server_time = t3;
    const auto span = [](filetime later, filetime earlier) { return static_cast<std::int64_t>(later - earlier); };
    // A wild server's stamps may lie centuries apart: held, not wrapped.
    const std::int64_t trip = span(t4, t1), hold = span(t3, t2);
    std::int64_t delay = 0;
    if (__builtin_sub_overflow(trip, hold, &delay))
        delay = hold > 0 ? std::numeric_limits<std::int64_t>::min() : std::numeric_limits<std::int64_t>::max();
    reading.delay = filetime_span_to_ntp_units(delay);
    // Both fields are unsigned 16.16 seconds; << 16 makes them 2^-32 s.
    reading.allowance = (std::int64_t{read_be32(&reply[4])} << 16) / 2 + (std::int64_t{read_be32(&reply[8])} << 16);
    return check;
}

std::uint32_t time_reply_seconds(const std::uint8_t (&reply)[time_reply_size], int received) {
    return received == static_cast<int>(time_reply_size) ? read_be32(reply) : 0;
}

}  // namespace orvane
