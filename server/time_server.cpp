// The TIME server (RFC 868): every client that connects to TCP port 37 gets
// the seconds since 1900 as four bytes, and the connection is closed.
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

bool start_listening(chronobel_state& state, const server_socket& listener, bool& bound) {
    if (!bound) bound = bind_socket(listener.handle(), ipv4_any, state.time_server_port);
    // Without the bind, POSIX would listen on a port of its own choosing.
    return bound && listen_socket(listener.handle(), listen_backlog);
}

void answer(socket_handle connection) {
    std::uint8_t reply[time_reply_size];
    write_be32(reply, server_timestamp(system_time_now()).seconds);
    send_bytes(connection, reply, sizeof reply);
    close_socket(connection);
}

void serve(chronobel_state& state, const server_socket& listener, std::optional<server_presence>& presence) {
    client_reporter report(state, time_status_text, true);
    bool bound = false, listening = false;
    while (keeps_serving(state, listener)) {
        if (!listening && !(listening = start_listening(state, listener, bound))) {
            pause_while_serving(state, listener, listen_retry_ms);
            continue;
        }
        if (!presence) presence.emplace(state, time_server_weight);
        ip_address client;
        const socket_handle connection = accept_connection(listener.handle(), &client);
        if (connection == no_socket) {
            if (keeps_serving(state, listener)) sleep_ms(accept_failure_pause_ms);
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
    server_socket listener(state.time_server_socket, socket_transport::tcp);
    // A port that other programs could share is not served: they could take
    // its clients.
    if (!listener.is_open() || !reserve_server_port(listener.handle(), socket_transport::tcp)) return;
    serve(state, listener, presence);
}

}  // namespace orvane
