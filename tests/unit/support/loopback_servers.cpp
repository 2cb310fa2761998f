#include "support/loopback_servers.h"
#include <chrono>
#include "sys/clock.h"

namespace orvane::testing {
namespace {

// A socket bound to a free port of a loopback address, and that port.
socket_handle bind_free_port(socket_transport transport, ip_address at, std::uint16_t& port) {
    const socket_handle s = open_socket(transport, at.family);
    if (s == no_socket) return no_socket;
    if (!bind_socket(s, at, 0)) {
        close_socket(s);
        return no_socket;
    }
    port = bound_port(s);
    return s;
}

}  // namespace

sntp_packet sntp_server_reply(const byte_string& request, filetime receive, filetime transmit) {
    sntp_packet reply{};
    reply[0] = 0x1C;  // leap 0, version 3, mode 4 (server)
    reply[sntp_stratum_at] = 2;
    if (request.size() >= sntp_packet_size)
        for (std::size_t i = 0; i < 8; ++i) reply[sntp_originate_at + i] = request[sntp_transmit_at + i];
    write_timestamp(reply, sntp_receive_at, filetime_to_ntp_timestamp(receive));
    write_timestamp(reply, sntp_transmit_at, filetime_to_ntp_timestamp(transmit));
    return reply;
}

byte_string time_reply_bytes(std::uint32_t seconds) {
    byte_string bytes(time_reply_size);
    write_be32(bytes.data(), seconds);
    return bytes;
}

// --- SNTP ---

sntp_responder::sntp_responder(shaper shape, ip_address at) : shape_(std::move(shape)), address_(at) {
    start_socket_library();
    socket_ = bind_free_port(socket_transport::udp, address_, port_);
    thread_ = std::thread([this] { serve(); });
}

sntp_responder::~sntp_responder() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    // A datagram of our own wakes the blocked receive.
    const socket_handle waker = open_socket(socket_transport::udp, address_.family);
    const std::uint8_t nudge = 0;
    send_datagram(waker, &nudge, 1, address_, port_);
    thread_.join();
    close_socket(waker);
    close_socket(socket_);
    stop_socket_library();
}

std::vector<byte_string> sntp_responder::requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

void sntp_responder::serve() {
    for (;;) {
        std::uint8_t buffer[512];
        ip_address from;
        std::uint16_t from_port = 0;
        const int n = receive_datagram(socket_, buffer, sizeof buffer, &from, &from_port);
        byte_string request;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stopping_ || n < 0) return;
            request.assign(buffer, buffer + n);
            requests_.push_back(request);
        }
        const byte_string answer = shape_(request);
        if (!answer.empty())
            send_datagram(socket_, answer.data(), static_cast<int>(answer.size()), from, from_port);
    }
}

// --- TIME ---

time_responder::time_responder(byte_string reply, bool hold_until_released, ip_address at)
    : reply_(std::move(reply)), address_(at), held_(hold_until_released) {
    start_socket_library();
    listener_ = bind_free_port(socket_transport::tcp, address_, port_);
    listen_socket(listener_, 8);
    thread_ = std::thread([this] { serve(); });
}

time_responder::~time_responder() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        held_ = false;
    }
    changed_.notify_all();
    // A connection of our own wakes the blocked accept.
    const socket_handle waker = open_socket(socket_transport::tcp, address_.family);
    connect_socket(waker, address_, port_);
    thread_.join();
    close_socket(waker);
    close_socket(listener_);
    stop_socket_library();
}

int time_responder::connections() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return connections_;
}

bool time_responder::wait_for_connections(int count) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(5), [&] { return connections_ >= count; });
}

void time_responder::release() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        held_ = false;
    }
    changed_.notify_all();
}

void time_responder::serve() {
    for (;;) {
        const socket_handle connection = accept_connection(listener_, nullptr);
        std::unique_lock<std::mutex> lock(mutex_);
        if (stopping_ || connection == no_socket) {
            close_socket(connection);
            return;
        }
        ++connections_;
        changed_.notify_all();
        changed_.wait(lock, [this] { return !held_; });
        const bool send_reply = !stopping_;
        lock.unlock();
        if (send_reply && !reply_.empty()) send_bytes(connection, reply_.data(), static_cast<int>(reply_.size()));
        close_socket(connection);
    }
}

byte_string sntp_reply_now(const byte_string& request) {
    const filetime now = system_time_now();
    const sntp_packet p = sntp_server_reply(request, now, now);
    return byte_string(p.begin(), p.end());
}

}  // namespace orvane::testing
