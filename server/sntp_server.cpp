// The SNTP server: answers each request on UDP port 123 with the system
// clock, while the setting "Server" is on.
#include <array>
#include <atomic>
#include "core/status_hold.h"
#include "platform/service_calls.h"
#include "server/client_report.h"
#include "server/server_run.h"
#include "server/servers.h"
#include "server/sntp_reply.h"
#include "server/sntp_request.h"
#include "sys/clock.h"
#include "sys/datagram_batch.h"

namespace orvane {
namespace {

constexpr char port_error_text[] = "SNTP Server Port Error; Restart in Admin mode or disable Windows Time service";
constexpr text_id sntp_status_text = text_id::sntp_server_chronobeled;
constexpr int request_size = static_cast<int>(sntp_packet_size);

// The Windows Time service normally holds UDP port 123: it is stopped while
// our socket takes the port, started again at once, and restarted once more
// when the server ends. (On POSIX the service calls do nothing.)
class windows_time_handover {
public:
    void stop_if_running() {
        std::uint8_t installed = 0, running = 0;
        if (query_service(service, status_, installed, running) != service_call_done || !running) return;
        if (stop_service(service, status_) != service_call_done) return;
        sleep_ms(1000);
        stopped_ = true;
    }
    void start_after_bind() {
        if (stopped_) start_service(service);
    }
    void restart_at_end() {
        if (!stopped_) return;
        stop_service(service, status_);
        sleep_ms(2000);
        start_service(service);
    }

private:
    static inline const std::wstring service = L"W32Time";
    service_status_record status_;
    bool stopped_ = false;
};

// Datagrams taken from the socket in one call, and replies sent in one.
constexpr int batch_size = 32;
// A receive that fails again right after a failure of the socket is retried
// only after this pause: a lasting error must not spin the thread. An error
// that one datagram causes (one too long, or Winsock's report of an earlier
// reply that could not be delivered) is no failure of the socket: the next
// receive follows at once, however many come.
constexpr std::uint32_t receive_error_pause_ms = 100;

std::atomic<sntp_reply_pause> g_reply_pause{nullptr};

void serve(chronobel_state& state, const server_socket& socket) {
    client_reporter report(state, sntp_status_text, false);
    // A longer datagram is cut to a request's size: its first 48 bytes are
    // all that is read of it.
    std::array<sntp_packet, batch_size> received_bytes;
    std::array<datagram, batch_size> received;
    for (int i = 0; i < batch_size; ++i) {
        received[i].bytes = received_bytes[i].data();
        received[i].capacity = request_size;
    }
    std::array<sntp_packet, batch_size> requests, replies;
    std::array<filetime, batch_size> received_at{};
    std::array<datagram, batch_size> outgoing;
    bool failed_before = false;

    while (keeps_serving(state, socket)) {
        const int count = receive_datagrams(socket.handle(), received.data(), batch_size);
        if (count < 0) {
            if (error_of_one_datagram(last_socket_error())) continue;
            if (failed_before) pause_while_serving(state, socket, receive_error_pause_ms);
            failed_before = true;
            continue;
        }
        failed_before = false;
        int due = 0;
        for (int i = 0; i < count; ++i) {
            if (!read_sntp_request(received[i].bytes, received[i].length, requests[due])) continue;
            received_at[due] = received[i].received_at;
            outgoing[due] = {replies[due].data(), 0, request_size, received[i].peer, received[i].peer_port};
            ++due;
        }
        if (due == 0) continue;
        if (const sntp_reply_pause pause = g_reply_pause.load()) pause();
        // Each request's Receive Timestamp is its arrival; the Transmit
        // Timestamp is read right before the send. The clients' names are
        // looked up afterwards, on the report thread.
        const ntp_timestamp transmit = server_timestamp(system_time_now());
        for (int i = 0; i < due; ++i)
            replies[i] = make_sntp_reply(requests[i], server_timestamp(received_at[i]), transmit);
        send_datagrams(socket.handle(), outgoing.data(), due);
        report.served(outgoing[due - 1].peer);
    }
}

}  // namespace

void set_sntp_reply_pause(sntp_reply_pause pause) { g_reply_pause = pause; }

void run_sntp_server(chronobel_state& state) {
    server_presence presence(state, sntp_server_weight);
    windows_time_handover windows_time;
    windows_time.stop_if_running();
    {
        winsock_use winsock(state.engine);
        if (winsock.acquired()) {
            server_socket socket(state.sntp_server_socket, socket_transport::udp);
            const bool bound = socket.is_open() && reserve_server_port(socket.handle(), socket_transport::udp) &&
                               bind_socket(socket.handle(), ipv4_any, state.sntp_server_port);
            if (bound) enable_receive_stamps(socket.handle());  // else the clock is read after the receive
            windows_time.start_after_bind();
            if (!bound) {
                hold_status_text(state);
                state.view().set_text(control_status_line, port_error_text);
            } else {
                serve(state, socket);
            }
        }
    }
    windows_time.restart_at_end();
}

}  // namespace orvane
