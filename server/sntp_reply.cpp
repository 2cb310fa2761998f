#include "server/sntp_reply.h"
#include <algorithm>

namespace orvane {

sntp_packet make_sntp_reply(const sntp_packet& request, ntp_timestamp receive, ntp_timestamp transmit) {
    sntp_packet reply{};
    reply[0] = sntp_server_reply_mode;
    reply[sntp_stratum_at] = sntp_server_stratum;
    reply[2] = sntp_server_poll;
    reply[3] = sntp_server_precision;
    write_be32(&reply[sntp_root_delay_at], sntp_server_root_distance);
    write_be32(&reply[sntp_root_dispersion_at], sntp_server_root_distance);
    // The reference identifier keeps the bytes the program has always sent.
    reply[sntp_reference_id_at] = 0x64;
    write_timestamp(reply, sntp_reference_at, transmit);
    std::copy_n(request.begin() + sntp_transmit_at, 8, reply.begin() + sntp_originate_at);
    write_timestamp(reply, sntp_receive_at, receive);
    write_timestamp(reply, sntp_transmit_at, transmit);
    return reply;
}

}  // namespace orvane
