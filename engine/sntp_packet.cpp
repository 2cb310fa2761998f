#include "engine/sntp_packet.h"
#include <cmath>

namespace orvane {

std::int64_t request_originate_value(filetime t1) {
    const long double since_1900 = static_cast<long double>(static_cast<std::int64_t>(t1 - E1900));
    return std::llroundl(since_1900 / 10'000'000.0L * 429.0L);
}

sntp_packet make_sntp_request(filetime t1) {
    sntp_packet request{};
    request[0] = sntp_client_request;
    const auto v = static_cast<std::uint64_t>(request_originate_value(t1));
    write_timestamp(request, sntp_originate_at, {static_cast<std::uint32_t>(v >> 32), static_cast<std::uint32_t>(v)});
    return request;
}

bool sntp_reply_usable(const sntp_packet& reply) {
    const int mode = sntp_mode(reply);
    return (mode == sntp_mode_server || mode == sntp_mode_broadcast) && sntp_stratum(reply) != 0 &&
           sntp_leap_indicator(reply) != sntp_leap_unsynchronised &&
           read_timestamp(reply, sntp_transmit_at) != ntp_timestamp{};
}

}  // namespace orvane
