// Which datagrams the SNTP server answers. A request is one whole datagram
// from one sender, never joined with another's bytes, so nothing that anyone
// else sends can spoil it. It answers only what asks for the time: client
// mode (3), symmetric active (1), and mode 0 from version-1 clients, which
// had no client mode yet. Replies and the other modes (2, 4, 5, 6, 7) get no
// answer, so two servers can never be set talking to each other by one
// forged packet.
#pragma once
#include <cstdint>
#include "engine/sntp_packet.h"

namespace orvane {

constexpr int sntp_mode_unspecified = 0;
constexpr int sntp_mode_symmetric_active = 1;
// The version whose clients sent mode 0.
constexpr int sntp_version_one = 1;

// True when the datagram of `length` bytes at `bytes` is a request this
// server answers; `request` then holds its first 48 bytes. A datagram shorter
// than 48 bytes is not a request. A longer one (an NTP packet with extension
// fields or an authenticator) is answered from its first 48 bytes, as other
// servers that do not check authenticators answer it.
bool read_sntp_request(const std::uint8_t* bytes, int length, sntp_packet& request);

}  // namespace orvane
