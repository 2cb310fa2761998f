// What the TIME and SNTP servers share: their count in server_state, their
// use of the socket library, their listening socket and how it is handed
// back, the flags that keep them serving, and the time they send.
#pragma once
#include <atomic>
#include <cstdint>
#include "core/state.h"
#include "engine/ntp_time.h"
#include "engine/winsock_count.h"
#include "sys/sockets.h"

namespace orvane {

// What each server adds to server_state for its whole life.
constexpr std::int32_t time_server_weight = 1;
constexpr std::int32_t sntp_server_weight = 2;

// The setting "Server", which another thread may change while a server runs.
bool server_enabled(chronobel_state& state);
// A byte flag of the settings, read as the options page may write it.
bool setting_on(std::uint8_t& flag);

// The time as TIME and SNTP servers send it: the seconds since 1900 modulo
// 2^32 (so nothing fails after 2036), and the fraction as the milliseconds
// × 4,294,967, kept to 100 ns (units of 100 ns in the second × 4,294,967 ÷
// 10,000).
ntp_timestamp server_timestamp(filetime utc);

// Adds a server's weight to server_state for as long as it lives.
class server_presence {
public:
    server_presence(chronobel_state& state, std::int32_t weight) : state_(state), weight_(weight) {
        state_.server_state.fetch_add(weight_);
    }
    ~server_presence() { state_.server_state.fetch_sub(weight_); }
    server_presence(const server_presence&) = delete;
    server_presence& operator=(const server_presence&) = delete;

private:
    chronobel_state& state_;
    std::int32_t weight_;
};

// A server's socket. It is published in `stored` so that a stopper can take
// it and end its blocked calls (stop_published_socket); the server keeps its
// own copy and, when it leaves, takes it back under the same lock and closes
// it, so the handle is never freed while anyone may still use it.
class server_socket {
public:
    server_socket(std::atomic<socket_handle>& stored, socket_transport transport, ip_family family);
    ~server_socket();
    server_socket(const server_socket&) = delete;
    server_socket& operator=(const server_socket&) = delete;

    bool is_open() const { return own_ != no_socket; }
    socket_handle handle() const { return own_; }
    // False once a stopper has taken the socket.
    bool still_published() const { return stored_.load() == own_; }
    // Withdraws and closes the socket now (one the server cannot use).
    void close();

private:
    std::atomic<socket_handle>& stored_;
    socket_handle own_;
};

// A server's two sockets: one for IPv4, one for IPv6 (IPv6 only, so both
// can hold the same port), each published in its own slot of the state.
struct server_sockets {
    server_sockets(std::atomic<socket_handle>& stored_v4, std::atomic<socket_handle>& stored_v6,
                   socket_transport transport)
        : v4(stored_v4, transport, ip_family::v4), v6(stored_v6, transport, ip_family::v6) {}
    server_socket v4, v6;
};

// The address a server's socket of `family` binds: every local one.
ip_address any_address(ip_family family);

// A pass may begin: the program goes on, "Server" is on, and nobody has
// taken either of the server's sockets to stop it.
bool keeps_serving(chronobel_state& state, const server_sockets& sockets);

// Waits about `ms`, in short steps, while the server keeps serving.
void pause_while_serving(chronobel_state& state, const server_sockets& sockets, std::uint32_t ms);

// The open socket that has a datagram or a connection waiting. With one
// socket open it is that one at once (its own receive or accept then
// blocks, until a stopper ends it); with two, the wait lasts at most a
// short step, so that a stop is seen, and gives no_socket when nothing came.
socket_handle next_ready_socket(const server_sockets& sockets);

}  // namespace orvane
