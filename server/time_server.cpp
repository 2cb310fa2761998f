// The TIME server (RFC 868): every client that connects to TCP port 37, over
// IPv4 or IPv6, gets the seconds since 1900 as four bytes, and the
// connection is closed.
#include <optional>
#include "engine/sntp_packet.h"
#include "server/client_report.h"
#include "server/server_run.h"
#include "server/servers.h"
#include "sys/clock.h"

namespace orvane {
namespace {

constexpr text_id time_status_text = text_id::time_server_chronobeled;
// Connections waiting to be accepted. With 5, a few clients connecting at
// once overflow the queue, and each one refused waits a second for its
// connection request to be resent.
constexpr int listen_backlog = 64;
// A port that cannot be bound or listened on is tried again this often.
constexpr std::uint32_t listen_retry_ms = 5000;
// A failing accept (say, out of descriptors) is not retried at once.
constexpr std::uint32_t accept_failure_pause_ms = 50;

struct listener_progress {
    bool bound = false, listening = false;
};

bool start_listening(chronobel_state& state, const server_socket& listener, ip_family family,
                     listener_progress& progress) {
    if (!progress.bound) progress.bound = bind_socket(listener.handle(), any_address(family), state.time_server_port);
    // Without the bind, POSIX would listen on a port of its own choosing.
    if (!progress.listening) progress.listening = progress.bound && listen_socket(listener.handle(), listen_backlog);
    return progress.listening;
}

// The IPv4 listener is tried until it listens; the IPv6 one beside it at the
// same times, and once the IPv4 one listens, an IPv6 one that does not is
// closed (the server then serves IPv4 alone).
bool start_listening(chronobel_state& state, server_sockets& listeners, listener_progress& v4, listener_progress& v6) {
    const bool v6_listens = listeners.v6.is_open() && start_listening(state, listeners.v6, ip_family::v6, v6);
    if (!start_listening(state, listeners.v4, ip_family::v4, v4)) return false;
    if (!v6_listens) listeners.v6.close();
    return true;
}

void answer(socket_handle connection) {
    std::uint8_t reply[time_reply_size];
    write_be32(reply, server_timestamp(system_time_now()).seconds);
    send_bytes(connection, reply, sizeof reply);
    close_socket(connection);
}

void serve(chronobel_state& state, server_sockets& listeners, std::optional<server_presence>& presence) {
    client_reporter report(state, time_status_text, true);
    listener_progress v4, v6;
    bool listening = false;
    while (keeps_serving(state, listeners)) {
        if (!listening && !(listening = start_listening(state, listeners, v4, v6))) {
            pause_while_serving(state, listeners, listen_retry_ms);
            continue;
        }
        if (!presence) presence.emplace(state, time_server_weight);
        const socket_handle listener = next_ready_socket(listeners);
        if (listener == no_socket) continue;
        ip_address client;
        const socket_handle connection = accept_connection(listener, &client);
        if (connection == no_socket) {
            if (keeps_serving(state, listeners)) sleep_ms(accept_failure_pause_ms);
            continue;
        }
        // Nothing is read from the client: the reply is due at once.
        answer(connection);
        report.served(client);
    }
}

}  // namespace

void run_time_server(chronobel_state& state) {
    // Counted in server_state only once it listens: while its port is taken
    // it serves no one, and "TIME Server Active" would say otherwise.
    std::optional<server_presence> presence;
    winsock_use winsock(state.engine);
    if (!winsock.acquired()) return;
    server_sockets listeners(state.time_server_socket, state.time_server_socket6, socket_transport::tcp);
    // A port that other programs could share is not served: they could take
    // its clients.
    if (!listeners.v4.is_open() || !reserve_server_port(listeners.v4.handle(), socket_transport::tcp)) return;
    if (listeners.v6.is_open() && !reserve_server_port(listeners.v6.handle(), socket_transport::tcp))
        listeners.v6.close();
    serve(state, listeners, presence);
}

}  // namespace orvane
