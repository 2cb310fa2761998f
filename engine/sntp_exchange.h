// One SNTP exchange that survives lost datagrams: a request, sent again
// after 1, 2 and 4 s while no reply has come, each time with a fresh
// Transmit Timestamp; a reply counts only when its Originate Timestamp is
// the Transmit Timestamp of one of these requests (RFC 4330).
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include "engine/sntp_packet.h"
#include "sys/sockets_types.h"

namespace orvane {

constexpr int sntp_requests_per_exchange = 4;
// Gaps before the second, third and fourth request.
constexpr std::uint32_t sntp_retransmit_gaps_ms[sntp_requests_per_exchange - 1] = {1000, 2000, 4000};
// After the last request, the exchange is given up once twice the last gap
// has passed without a reply (15 s with the gaps above).
constexpr std::uint32_t sntp_give_up_factor = 2;

struct sntp_exchange {
    struct sent_request {
        ntp_timestamp transmit;
        filetime t1 = 0;
    };
    socket_handle socket = no_socket;  // connected to the server
    std::array<sent_request, sntp_requests_per_exchange> sent{};
    int sent_count = 0;
    std::uint32_t last_send_tick = 0;
    // The first gap; the later ones keep the proportions of
    // sntp_retransmit_gaps_ms. A caller that knows the round trip to the
    // server may shorten it, even while the exchange runs.
    std::uint32_t first_gap_ms = sntp_retransmit_gaps_ms[0];

    // Sends the next request when it is due at `now`; false when a send
    // did not go out whole.
    bool send_if_due(std::uint32_t now);
    // How long a wait at `now` may last before the next request is due (at
    // most `limit_ms`).
    std::uint32_t wait_ms(std::uint32_t now, std::uint32_t limit_ms) const;
    // Every request is out and none was answered in time (sntp_give_up_factor).
    bool given_up(std::uint32_t now) const;
    // The request a reply answers, or nullptr.
    const sent_request* answered_by(const sntp_packet& reply) const;
};

// Outcome of receiving one datagram of an exchange.
enum class sntp_receive { accepted, ignored, refused, failed };
// Receives one datagram (the socket is readable): `accepted` with the
// reading when it answers a request and passes the checks; `refused` with
// the check that failed when it answers one but fails them; `ignored` for
// anything that answers none; `failed` on a socket error.
sntp_receive receive_sntp_reply(const sntp_exchange& exchange, sntp_reading& reading, sntp_reply_check& check,
                                filetime& t4, std::uint32_t& reply_tick);
// The same for several exchanges on one socket (the first one's): `answered`
// is the one whose request the datagram answers (accepted or refused).
sntp_receive receive_sntp_reply(std::span<const sntp_exchange> exchanges, std::size_t& answered,
                                sntp_reading& reading, sntp_reply_check& check, filetime& t4,
                                std::uint32_t& reply_tick);

}  // namespace orvane
