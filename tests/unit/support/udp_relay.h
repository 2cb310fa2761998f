// A UDP relay between clients and a time server on loopback addresses, adding
// the delay, jitter, asymmetry and loss of a real network (this machine's
// kernel has no netem). Each route listens on its own address and port
// (127.0.0.2:123, 127.0.0.3:123, ...) and forwards every client's datagrams
// to its server from a socket of that client's own, so each reply finds its
// way back. One thread serves all routes; it ends by itself after the run
// limit, on stop(), or when the relay is destroyed. POSIX only: the unit tests
// use it in the process, the bench through tests/bench/relay.cpp.
#pragma once
#include <netinet/in.h>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace orvane::testing {

// What one direction does to each datagram: it waits delay + a uniform draw
// in [-jitter, +jitter] (never less than nothing), or is lost with the chance
// `loss` (0 to 1).
struct relay_direction {
    std::chrono::microseconds delay{0};
    std::chrono::microseconds jitter{0};
    double loss = 0;
};

struct relay_settings {
    relay_direction to_server;  // client -> server
    relay_direction to_client;  // server -> client
    // Every draw comes from a generator per route and direction, seeded from
    // this (0: a random seed), so one client's fate repeats from run to run.
    std::uint64_t seed = 0;
    // The first this many client datagrams of each route are dropped outright
    // (before any draw), for a test of a lost first request.
    int drop_first = 0;
    // The relay stops by itself after this long.
    std::chrono::milliseconds run_limit{60'000};
};

// Where a route listens and where it forwards; both must be 127.x.x.x. A
// listen port of 0 takes a free port (see port()).
struct relay_route {
    sockaddr_in listen{};
    sockaddr_in server{};
};

// "127.0.0.2:123" as an address; false for anything else or outside 127/8.
bool parse_loopback_endpoint(const std::string& text, sockaddr_in& out);
std::string endpoint_text(const sockaddr_in& address);

struct relay_counts {
    std::uint64_t to_server = 0;          // forwarded to the server
    std::uint64_t to_server_dropped = 0;  // lost on the way (draws and drop_first)
    std::uint64_t to_client = 0;
    std::uint64_t to_client_dropped = 0;
};

class udp_relay {
public:
    udp_relay() = default;
    ~udp_relay();
    udp_relay(const udp_relay&) = delete;
    udp_relay& operator=(const udp_relay&) = delete;

    // Binds every route and starts the thread; on failure nothing runs and
    // `error` says why.
    bool start(const std::vector<relay_route>& routes, const relay_settings& settings, std::string& error);
    // The bound listen port of a route.
    std::uint16_t port(std::size_t route) const;
    bool running() const { return running_; }
    // Wakes the thread, joins it (it ends at once) and closes every socket.
    void stop();
    relay_counts counts() const;

private:
    void serve();

    std::vector<relay_route> routes_;
    relay_settings settings_;
    std::vector<int> listeners_;
    int wake_[2] = {-1, -1};
    std::atomic<bool> running_{false};
    std::atomic<std::uint64_t> to_server_{0}, to_server_dropped_{0}, to_client_{0}, to_client_dropped_{0};
    std::thread thread_;
};

}  // namespace orvane::testing
