// Plain POSIX clients of the built-in servers on 127.0.0.1, with receive
// time-outs (the socket seam has none), bound to a chosen loopback address
// (127.0.0.2 and so on) so that one test can play several clients.
#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>
#include "core/state.h"
#include "engine/sntp_packet.h"
#include "sys/sockets.h"

namespace orvane::testing {

using namespace std::chrono_literals;

class udp_client {
public:
    explicit udp_client(ip_address self = ipv4_loopback);
    ~udp_client();
    udp_client(const udp_client&) = delete;
    udp_client& operator=(const udp_client&) = delete;

    bool send(std::uint16_t port, const std::vector<std::uint8_t>& bytes) const;
    // The next datagram (up to 512 bytes), or nothing after `limit`.
    bool receive(std::vector<std::uint8_t>& bytes, std::chrono::milliseconds limit = 2000ms) const;
    // Sends a request and waits for its reply (48 bytes expected).
    bool exchange(std::uint16_t port, const sntp_packet& request, sntp_packet& reply) const;

private:
    int fd_ = -1;
};

// Connects to 127.0.0.1:port from `self`, optionally sends `to_send`, and
// reads until the end of the stream. False when the connection fails or the
// stream does not end within `limit`.
bool read_time_stream(std::uint16_t port, std::vector<std::uint8_t>& bytes, ip_address self = ipv4_loopback,
                      const std::string& to_send = {}, std::chrono::milliseconds limit = 2000ms);

// Polls `ready` every 2 ms for at most `limit`.
bool wait_until(const std::function<bool()>& ready, std::chrono::milliseconds limit = 10s);

// The port a server has bound, once it has published its socket and bound it
// (servers bind port 0 in tests); 0 when that does not happen within 10 s.
std::uint16_t wait_for_bound_port(const std::atomic<socket_handle>& stored);

}  // namespace orvane::testing
