#include "support/loopback_clients.h"
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cstring>
#include <thread>

namespace orvane::testing {
namespace {

sockaddr_in address_of(ip_address address, std::uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    std::memcpy(&a.sin_addr, address.bytes.data(), 4);
    return a;
}

// Waits until `fd` is readable, at most `limit`.
bool readable(int fd, std::chrono::milliseconds limit) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, static_cast<int>(limit.count())) == 1;
}

}  // namespace

udp_client::udp_client(ip_address self) : fd_(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
    const sockaddr_in a = address_of(self, 0);
    bind(fd_, reinterpret_cast<const sockaddr*>(&a), sizeof a);
}

udp_client::~udp_client() { close(fd_); }

bool udp_client::send(std::uint16_t port, const std::vector<std::uint8_t>& bytes) const {
    const sockaddr_in to = address_of(ipv4_loopback, port);
    return sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) ==
           static_cast<ssize_t>(bytes.size());
}

bool udp_client::receive(std::vector<std::uint8_t>& bytes, std::chrono::milliseconds limit) const {
    if (!readable(fd_, limit)) return false;
    bytes.resize(512);
    const ssize_t n = recv(fd_, bytes.data(), bytes.size(), MSG_DONTWAIT);
    if (n < 0) return false;
    bytes.resize(static_cast<std::size_t>(n));
    return true;
}

bool udp_client::exchange(std::uint16_t port, const sntp_packet& request, sntp_packet& reply) const {
    std::vector<std::uint8_t> bytes;
    if (!send(port, {request.begin(), request.end()}) || !receive(bytes) || bytes.size() != reply.size())
        return false;
    std::copy(bytes.begin(), bytes.end(), reply.begin());
    return true;
}

bool read_time_stream(std::uint16_t port, std::vector<std::uint8_t>& bytes, ip_address self,
                      const std::string& to_send, std::chrono::milliseconds limit) {
    bytes.clear();
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in from = address_of(self, 0), to = address_of(ipv4_loopback, port);
    bool ended = bind(fd, reinterpret_cast<const sockaddr*>(&from), sizeof from) == 0 &&
                 connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0 &&
                 (to_send.empty() || ::send(fd, to_send.data(), to_send.size(), MSG_NOSIGNAL) > 0);
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (ended) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !readable(fd, left)) {
            ended = false;
            break;
        }
        std::uint8_t chunk[64];
        const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0) {
            ended = n == 0;
            break;
        }
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    close(fd);
    return ended;
}

bool wait_until(const std::function<bool()>& ready, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!ready()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

std::uint16_t wait_for_bound_port(const std::atomic<socket_handle>& stored) {
    std::uint16_t port = 0;
    wait_until([&] {
        const socket_handle s = stored.load();
        return s != no_socket && (port = bound_port(s)) != 0;
    });
    return port;
}

}  // namespace orvane::testing
