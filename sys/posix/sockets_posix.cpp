#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#include "sys/sockets.h"
#include "sys/sockets_bsd.h"
#include "sys/posix/socket_errors_posix.h"

namespace orvane {
namespace {

using bsd_sockets::address_of;
using bsd_sockets::endpoint;
using bsd_sockets::port_of;
using bsd_sockets::socket_address;

// A descriptor is stored as fd + 1 so that descriptor 0 stays representable
// while the value 0 means "no socket".
int fd_of(socket_handle s) { return static_cast<int>(s) - 1; }
socket_handle handle_of(int fd) { return fd < 0 ? no_socket : static_cast<socket_handle>(fd) + 1; }

// Like WSAGetLastError: per thread, changed only by a failing call.
thread_local int t_last_error = socket_error_none;

int winsock_code(int error) {
    switch (error) {
    case EINTR: return socket_error_interrupted;
    case EBADF: return socket_error_bad_handle;
    case EACCES: case EPERM: return socket_error_access;
    case EINVAL: return socket_error_invalid;
    case EMFILE: case ENFILE: return socket_error_too_many;
    case EAGAIN: return socket_error_would_block;
    case ENOTSOCK: return socket_error_not_socket;
    case EMSGSIZE: return socket_error_message_size;
    case ENOPROTOOPT: return socket_error_no_protocol_option;
    case EPROTONOSUPPORT: case EAFNOSUPPORT: return socket_error_no_support;
    case EADDRINUSE: return socket_error_address_in_use;
    case EADDRNOTAVAIL: return socket_error_address_unavailable;
    case ENETDOWN: return socket_error_network_down;
    case ENETUNREACH: return socket_error_network_unreachable;
    case ENETRESET: return socket_error_network_reset;
    case ECONNABORTED: return socket_error_aborted;
    case ECONNRESET: case EPIPE: return socket_error_reset;
    case ENOBUFS: case ENOMEM: return socket_error_no_buffers;
    case EISCONN: return socket_error_is_connected;
    case ENOTCONN: return socket_error_not_connected;
    case ESHUTDOWN: return socket_error_shut_down;
    case ETIMEDOUT: return socket_error_timed_out;
    case ECONNREFUSED: return socket_error_refused;
    case EHOSTUNREACH: return socket_error_host_unreachable;
    default: return socket_error_other;
    }
}

// Records errno for last_socket_error and passes `result` through.
template <typename T>
T failed_with(T result) {
    record_socket_error();
    return result;
}

bool set_flag(socket_handle s, int level, int name, bool on) {
    const int value = on ? 1 : 0;
    return setsockopt(fd_of(s), level, name, &value, sizeof value) == 0 || failed_with(false);
}

}  // namespace

void record_socket_error() { t_last_error = winsock_code(errno); }

bool start_socket_library() { return true; }
void stop_socket_library() {}

socket_handle open_socket(socket_transport transport, ip_family family) {
    const int domain = bsd_sockets::address_family(family);
    const int fd = transport == socket_transport::tcp ? socket(domain, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP)
                                                      : socket(domain, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return failed_with(no_socket);
    const socket_handle s = handle_of(fd);
    if (family == ip_family::v6 && !set_flag(s, IPPROTO_IPV6, IPV6_V6ONLY, true)) {
        ::close(fd);
        return no_socket;
    }
    return s;
}

void close_socket(socket_handle s) {
    if (s != no_socket) ::close(fd_of(s));
}

void end_blocked_calls(socket_handle s) {
    // shutdown wakes a recv, recvfrom, accept or connect blocked in another
    // thread; close would not.
    if (s != no_socket) shutdown(fd_of(s), SHUT_RDWR);
}

bool set_keepalive(socket_handle s, bool on) { return set_flag(s, SOL_SOCKET, SO_KEEPALIVE, on); }
bool set_reuse_address(socket_handle s, bool on) { return set_flag(s, SOL_SOCKET, SO_REUSEADDR, on); }

bool reserve_server_port(socket_handle s, socket_transport transport) {
    return transport == socket_transport::udp || set_flag(s, SOL_SOCKET, SO_REUSEADDR, true);
}

bool keepalive_enabled(socket_handle s) {
    int value = 0;
    socklen_t size = sizeof value;
    return getsockopt(fd_of(s), SOL_SOCKET, SO_KEEPALIVE, &value, &size) == 0 && value != 0;
}

bool connect_socket(socket_handle s, ip_address address, std::uint16_t port) {
    const endpoint a = socket_address(address, port);
    return connect(fd_of(s), a.get(), static_cast<socklen_t>(a.size)) == 0 || failed_with(false);
}

bool bind_socket(socket_handle s, ip_address address, std::uint16_t port) {
    const endpoint a = socket_address(address, port);
    return bind(fd_of(s), a.get(), static_cast<socklen_t>(a.size)) == 0 || failed_with(false);
}

std::uint16_t bound_port(socket_handle s) {
    endpoint a;
    socklen_t size = sizeof a.storage;
    if (getsockname(fd_of(s), a.get(), &size) != 0) return failed_with(std::uint16_t{0});
    return port_of(a.storage);
}

bool listen_socket(socket_handle s, int backlog) { return listen(fd_of(s), backlog) == 0 || failed_with(false); }

socket_handle accept_connection(socket_handle listener, ip_address* peer) {
    endpoint a;
    socklen_t size = sizeof a.storage;
    int fd;
    do fd = accept4(fd_of(listener), a.get(), &size, SOCK_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) return failed_with(no_socket);
    if (peer) *peer = address_of(a.storage);
    return handle_of(fd);
}

int send_bytes(socket_handle s, const void* data, int length) {
    ssize_t n;
    // MSG_NOSIGNAL: a peer that has gone gives an error, not SIGPIPE.
    do n = send(fd_of(s), data, static_cast<std::size_t>(length), MSG_NOSIGNAL);
    while (n < 0 && errno == EINTR);
    return n < 0 ? failed_with(-1) : static_cast<int>(n);
}

int receive_bytes(socket_handle s, void* data, int length) {
    ssize_t n;
    do n = recv(fd_of(s), data, static_cast<std::size_t>(length), 0);
    while (n < 0 && errno == EINTR);
    return n < 0 ? failed_with(-1) : static_cast<int>(n);
}

int wait_readable(socket_handle s, std::uint32_t timeout_ms) {
    pollfd p{fd_of(s), POLLIN, 0};
    // A shutdown from another thread wakes the poll with POLLIN or POLLHUP.
    const int n = poll(&p, 1, static_cast<int>(timeout_ms > 0x7FFF'FFFF ? 0x7FFF'FFFF : timeout_ms));
    if (n < 0) return errno == EINTR ? 0 : failed_with(-1);
    return n > 0 ? 1 : 0;
}

int wait_any_readable(const socket_handle* sockets, int count, std::uint32_t timeout_ms) {
    constexpr int most = 64;
    if (count < 1 || count > most) return -2;
    pollfd p[most];
    for (int i = 0; i < count; ++i) p[i] = {fd_of(sockets[i]), POLLIN, 0};
    const int n = poll(p, static_cast<nfds_t>(count), static_cast<int>(timeout_ms > 0x7FFF'FFFF ? 0x7FFF'FFFF : timeout_ms));
    if (n < 0) return errno == EINTR ? -1 : failed_with(-2);
    for (int i = 0; i < count; ++i)
        if (p[i].revents != 0) return i;
    return -1;
}

int send_datagram(socket_handle s, const void* data, int length, ip_address to, std::uint16_t port) {
    const endpoint a = socket_address(to, port);
    ssize_t n;
    do n = sendto(fd_of(s), data, static_cast<std::size_t>(length), MSG_NOSIGNAL, a.get(), static_cast<socklen_t>(a.size));
    while (n < 0 && errno == EINTR);
    return n < 0 ? failed_with(-1) : static_cast<int>(n);
}

int receive_datagram(socket_handle s, void* data, int length, ip_address* from, std::uint16_t* from_port) {
    endpoint a;
    socklen_t size = sizeof a.storage;
    ssize_t n;
    do n = recvfrom(fd_of(s), data, static_cast<std::size_t>(length), 0, a.get(), &size);
    while (n < 0 && errno == EINTR);
    if (n < 0) return failed_with(-1);
    if (from) *from = address_of(a.storage);
    if (from_port) *from_port = port_of(a.storage);
    return static_cast<int>(n);
}

int last_socket_error() { return t_last_error; }

ip_address ipv4_from_text(const std::string& text) { return bsd_sockets::ipv4_from_text(text); }
bool ip_from_text(const std::string& text, ip_address& address) { return bsd_sockets::ip_from_text(text, address); }
std::string address_text(ip_address address) { return bsd_sockets::address_text(address); }
bool resolve_addresses(const std::string& name, std::vector<ip_address>& addresses) {
    return bsd_sockets::resolve_addresses(name, addresses);
}
std::string host_name_of(ip_address address) { return bsd_sockets::host_name_of(address); }
std::uint32_t name_lookups_made() { return bsd_sockets::name_lookups.load(); }

}  // namespace orvane
