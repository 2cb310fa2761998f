// The SNTP server's 48-byte reply (RFC 4330, server mode), every multi-byte
// field in network byte order.
#pragma once
#include <cstdint>
#include "engine/sntp_packet.h"

namespace orvane {

// Leap indicator 0, version 3, mode 4 (server).
constexpr std::uint8_t sntp_server_reply_mode = 0x1C;
constexpr std::uint8_t sntp_server_stratum = 2;
constexpr std::uint8_t sntp_server_poll = 6;
constexpr std::uint8_t sntp_server_precision = 0xF6;  // −10: about a millisecond
// Root delay and root dispersion: 100 in units of 2^-16 s (1.5 ms).
constexpr std::uint32_t sntp_server_root_distance = 100;
constexpr std::size_t sntp_root_delay_at = 4;
constexpr std::size_t sntp_root_dispersion_at = 8;
constexpr std::size_t sntp_reference_id_at = 12;

// The reply to `request`, which arrived at `receive` and is sent at
// `transmit`: Reference and Transmit are `transmit`, Receive is `receive`;
// Originate is the request's Transmit Timestamp, byte for byte, so that the
// client can match the reply to its request. Two stamps, so that the time
// the server holds a request is not read by clients as clock offset.
sntp_packet make_sntp_reply(const sntp_packet& request, ntp_timestamp receive, ntp_timestamp transmit);

}  // namespace orvane
