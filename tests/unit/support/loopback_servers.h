// Small TIME and SNTP servers on 127.0.0.1 for tests. Each binds a free port
// when it is made, answers from a thread of its own, and stops when it is
// destroyed. They use only the socket seam, so they build for both systems.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>
#include "engine/sntp_packet.h"
#include "sys/sockets.h"

namespace orvane::testing {

using byte_string = std::vector<std::uint8_t>;

// A well-formed server reply (leap 0, version 3, mode 4, stratum 2) with the
// given Receive and Transmit times; the request's Transmit field is echoed as
// the Originate Timestamp.
sntp_packet sntp_server_reply(const byte_string& request, filetime receive, filetime transmit);
// The same reply with the clock as it reads now, as bytes.
byte_string sntp_reply_now(const byte_string& request);

// The four bytes a TIME server sends for `seconds`.
byte_string time_reply_bytes(std::uint32_t seconds);

// Answers each UDP datagram with the bytes its shaper returns for it; an
// empty answer sends nothing, so a shaper that always returns nothing makes
// a silent server.
class sntp_responder {
public:
    using shaper = std::function<byte_string(const byte_string& request)>;
    explicit sntp_responder(shaper shape);
    ~sntp_responder();
    sntp_responder(const sntp_responder&) = delete;
    sntp_responder& operator=(const sntp_responder&) = delete;

    static sntp_responder silent() { return sntp_responder([](const byte_string&) { return byte_string{}; }); }

    std::uint16_t port() const { return port_; }
    // Every datagram received so far, in order.
    std::vector<byte_string> requests() const;

private:
    void serve();

    shaper shape_;
    socket_handle socket_ = no_socket;
    std::uint16_t port_ = 0;
    mutable std::mutex mutex_;
    std::vector<byte_string> requests_;
    bool stopping_ = false;
    std::thread thread_;
};

// A loopback port where nothing listens: queries to it fail at once.
inline std::uint16_t closed_port() {
    sntp_responder probe(sntp_responder::silent());
    return probe.port();  // freed again when the probe ends
}

// Accepts TCP connections one at a time and sends each the reply bytes (none
// at all for an empty reply), then closes it. When holding, each connection
// waits, open and silent, until release() or the end of the server.
class time_responder {
public:
    explicit time_responder(byte_string reply, bool hold_until_released = false);
    ~time_responder();
    time_responder(const time_responder&) = delete;
    time_responder& operator=(const time_responder&) = delete;

    std::uint16_t port() const { return port_; }
    int connections() const;
    // True once `count` connections have been accepted (waits at most 5 s).
    bool wait_for_connections(int count) const;
    // Lets held connections (and all later ones) have their reply.
    void release();

private:
    void serve();

    byte_string reply_;
    socket_handle listener_ = no_socket;
    std::uint16_t port_ = 0;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    int connections_ = 0;
    bool held_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace orvane::testing
