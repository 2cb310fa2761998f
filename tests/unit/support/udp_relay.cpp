#include "support/udp_relay.h"
#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <map>
#include <queue>
#include <random>

namespace orvane::testing {
namespace {

using clock_type = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr std::size_t largest_datagram = 65536;
constexpr std::size_t most_sessions = 4096;
constexpr std::size_t most_pending = 100'000;
// Datagrams read from one socket per wake-up, so no socket starves the rest.
constexpr int most_reads = 256;
// A client that has been quiet this long is done; its socket is closed.
constexpr auto session_idle_limit = 30s;

bool is_loopback(const sockaddr_in& a) { return (ntohl(a.sin_addr.s_addr) >> 24) == 127; }

// One client of one route: its own socket towards the server.
struct session {
    int fd = -1;
    std::size_t route = 0;
    sockaddr_in client{};
    clock_type::time_point last_used;
};

// A datagram on its way, sent when it is due.
struct in_flight {
    clock_type::time_point due;
    std::uint64_t order = 0;  // keeps datagrams of equal due time in arrival order
    bool to_server = false;
    std::uint64_t session_key = 0;
    std::vector<std::uint8_t> bytes;
    bool operator>(const in_flight& other) const {
        return due != other.due ? due > other.due : order > other.order;
    }
};

std::uint64_t key_of(std::size_t route, const sockaddr_in& client) {
    return std::uint64_t{route} << 48 | std::uint64_t{ntohl(client.sin_addr.s_addr)} << 16 | ntohs(client.sin_port);
}

double unit_draw(std::mt19937_64& random) { return static_cast<double>(random() >> 11) * 0x1.0p-53; }

// The fate of one datagram: false when it is lost, else how long it waits.
bool draw_fate(std::mt19937_64& random, const relay_direction& way, std::chrono::microseconds& wait) {
    if (way.loss > 0 && unit_draw(random) < way.loss) return false;
    auto spread = way.jitter.count() > 0
                      ? static_cast<std::int64_t>((2 * unit_draw(random) - 1) * static_cast<double>(way.jitter.count()))
                      : 0;
    wait = std::max(way.delay + std::chrono::microseconds(spread), std::chrono::microseconds(0));
    return true;
}

std::uint64_t mix(std::uint64_t x) {  // splitmix64: distinct seeds for each stream
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

}  // namespace

bool parse_loopback_endpoint(const std::string& text, sockaddr_in& out) {
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon + 1 == text.size() || text.size() - colon > 6) return false;
    unsigned port = 0;
    for (char c : text.substr(colon + 1)) {
        if (c < '0' || c > '9') return false;
        port = port * 10 + static_cast<unsigned>(c - '0');
    }
    sockaddr_in a{};
    a.sin_family = AF_INET;
    if (port > 65535 || inet_pton(AF_INET, text.substr(0, colon).c_str(), &a.sin_addr) != 1) return false;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    if (!is_loopback(a)) return false;
    out = a;
    return true;
}

std::string endpoint_text(const sockaddr_in& address) {
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(address.sin_port));
}

udp_relay::~udp_relay() { stop(); }

bool udp_relay::start(const std::vector<relay_route>& routes, const relay_settings& settings, std::string& error) {
    stop();
    for (const relay_route& r : routes) {
        if (!is_loopback(r.listen) || !is_loopback(r.server)) {
            error = "only 127.x.x.x addresses are relayed";
            return false;
        }
    }
    if (routes.empty() || routes.size() > 0xFFFF) {
        error = "no route to relay";
        return false;
    }
    routes_ = routes;
    settings_ = settings;
    for (relay_route& r : routes_) {
        const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        const int one = 1;
        // Shares a port with a server bound to every address (which sets the
        // same option), as time servers on port 123 do; the more specific
        // address still receives its own datagrams.
        if (fd >= 0) setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        socklen_t size = sizeof r.listen;
        if (fd < 0 || bind(fd, reinterpret_cast<const sockaddr*>(&r.listen), sizeof r.listen) != 0 ||
            getsockname(fd, reinterpret_cast<sockaddr*>(&r.listen), &size) != 0) {
            error = "cannot listen on " + endpoint_text(r.listen) + ": " + std::strerror(errno);
            if (fd >= 0) close(fd);
            stop();
            return false;
        }
        listeners_.push_back(fd);
    }
    if (pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
        error = std::string("pipe: ") + std::strerror(errno);
        stop();
        return false;
    }
    running_ = true;
    thread_ = std::thread([this] { serve(); });
    return true;
}

std::uint16_t udp_relay::port(std::size_t route) const {
    return route < routes_.size() ? ntohs(routes_[route].listen.sin_port) : 0;
}

void udp_relay::stop() {
    if (thread_.joinable()) {
        const char wake = 1;
        [[maybe_unused]] const ssize_t n = write(wake_[1], &wake, 1);
        thread_.join();
    }
    for (int fd : listeners_) close(fd);
    listeners_.clear();
    for (int& fd : wake_) {
        if (fd >= 0) close(fd);
        fd = -1;
    }
    running_ = false;
}

relay_counts udp_relay::counts() const {
    return {to_server_.load(), to_server_dropped_.load(), to_client_.load(), to_client_dropped_.load()};
}

void udp_relay::serve() {
    const auto deadline = clock_type::now() + settings_.run_limit;
    const std::uint64_t seed = settings_.seed ? settings_.seed : std::random_device{}() | 1ull << 40;
    std::vector<std::mt19937_64> randoms;  // two per route: to the server, to the client
    for (std::size_t i = 0; i < 2 * routes_.size(); ++i) randoms.emplace_back(mix(seed + i));
    std::vector<int> dropped_first(routes_.size(), 0);
    std::map<std::uint64_t, session> sessions;
    std::priority_queue<in_flight, std::vector<in_flight>, std::greater<>> pending;
    std::uint64_t order = 0;
    std::vector<std::uint8_t> buffer(largest_datagram);
    std::vector<pollfd> polled;
    std::vector<std::uint64_t> polled_keys;  // the session of each polled socket after the listeners

    const auto schedule = [&](bool to_server, std::uint64_t key, std::size_t route, std::size_t length) {
        const relay_direction& way = to_server ? settings_.to_server : settings_.to_client;
        std::chrono::microseconds wait{0};
        if (!draw_fate(randoms[2 * route + (to_server ? 0 : 1)], way, wait) || pending.size() >= most_pending) {
            ++(to_server ? to_server_dropped_ : to_client_dropped_);
            return;
        }
        pending.push({clock_type::now() + wait, order++, to_server, key,
                      std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(length))});
    };

    // A client's own socket towards the server, made on its first datagram.
    const auto session_for = [&](std::size_t route, const sockaddr_in& client) -> session* {
        const std::uint64_t key = key_of(route, client);
        if (auto found = sessions.find(key); found != sessions.end()) return &found->second;
        if (sessions.size() >= most_sessions) {
            auto oldest = sessions.begin();
            for (auto it = sessions.begin(); it != sessions.end(); ++it)
                if (it->second.last_used < oldest->second.last_used) oldest = it;
            close(oldest->second.fd);
            sessions.erase(oldest);
        }
        const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        const sockaddr_in& server = routes_[route].server;
        if (fd < 0) return nullptr;
        if (connect(fd, reinterpret_cast<const sockaddr*>(&server), sizeof server) != 0) {
            close(fd);
            return nullptr;
        }
        return &(sessions[key] = session{fd, route, client, clock_type::now()});
    };

    auto last_sweep = clock_type::now();
    for (;;) {
        auto now = clock_type::now();
        if (now >= deadline) break;
        while (!pending.empty() && pending.top().due <= now) {
            const in_flight& d = pending.top();
            if (auto it = sessions.find(d.session_key); it != sessions.end()) {
                session& s = it->second;
                if (d.to_server) {
                    if (send(s.fd, d.bytes.data(), d.bytes.size(), 0) >= 0) ++to_server_;
                } else if (sendto(listeners_[s.route], d.bytes.data(), d.bytes.size(), 0,
                                  reinterpret_cast<const sockaddr*>(&s.client), sizeof s.client) >= 0) {
                    ++to_client_;
                }
            }
            pending.pop();
        }
        if (now - last_sweep >= 1s) {
            last_sweep = now;
            for (auto it = sessions.begin(); it != sessions.end();) {
                if (now - it->second.last_used < session_idle_limit) {
                    ++it;
                    continue;
                }
                close(it->second.fd);
                it = sessions.erase(it);
            }
        }

        polled.clear();
        polled_keys.clear();
        polled.push_back({wake_[0], POLLIN, 0});
        for (int fd : listeners_) polled.push_back({fd, POLLIN, 0});
        for (const auto& [key, s] : sessions) {
            polled.push_back({s.fd, POLLIN, 0});
            polled_keys.push_back(key);
        }
        auto until = std::min(deadline, now + 1s);
        if (!pending.empty()) until = std::min(until, pending.top().due);
        const auto wait_ns = std::chrono::duration_cast<std::chrono::nanoseconds>(until - now).count();
        const timespec wait{static_cast<time_t>(wait_ns / 1'000'000'000), static_cast<long>(wait_ns % 1'000'000'000)};
        if (ppoll(polled.data(), polled.size(), &wait, nullptr) < 0 && errno != EINTR) break;
        if (polled[0].revents) break;  // stop() was called

        for (std::size_t route = 0; route < listeners_.size(); ++route) {
            if (!polled[1 + route].revents) continue;
            for (int reads = 0; reads < most_reads; ++reads) {
                sockaddr_in client{};
                socklen_t size = sizeof client;
                const ssize_t n = recvfrom(listeners_[route], buffer.data(), buffer.size(), 0,
                                           reinterpret_cast<sockaddr*>(&client), &size);
                if (n < 0) break;
                if (dropped_first[route] < settings_.drop_first) {
                    ++dropped_first[route];
                    ++to_server_dropped_;
                    continue;
                }
                session* s = session_for(route, client);
                if (!s) {
                    ++to_server_dropped_;
                    continue;
                }
                s->last_used = clock_type::now();
                schedule(true, key_of(route, client), route, static_cast<std::size_t>(n));
            }
        }
        for (std::size_t i = 0; i < polled_keys.size(); ++i) {
            if (!polled[1 + listeners_.size() + i].revents) continue;
            auto it = sessions.find(polled_keys[i]);
            if (it == sessions.end()) continue;
            for (int reads = 0; reads < most_reads; ++reads) {
                const ssize_t n = recv(it->second.fd, buffer.data(), buffer.size(), 0);
                if (n < 0) {
                    if (errno == EAGAIN || errno == EWOULDBLOCK) break;
                    continue;  // an ICMP error of an earlier datagram (server not there): read on
                }
                it->second.last_used = clock_type::now();
                schedule(false, it->first, it->second.route, static_cast<std::size_t>(n));
            }
        }
    }
    for (auto& [key, s] : sessions) close(s.fd);
    running_ = false;
}

}  // namespace orvane::testing
