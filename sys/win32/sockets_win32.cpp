#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <cstring>
#include "sys/sockets.h"
#include "sys/sockets_bsd.h"

namespace orvane {
namespace {

using bsd_sockets::address_of;
using bsd_sockets::endpoint;
using bsd_sockets::port_of;
using bsd_sockets::socket_address;

SOCKET raw(socket_handle s) { return static_cast<SOCKET>(s); }
socket_handle handle_of(SOCKET s) { return s == INVALID_SOCKET ? no_socket : static_cast<socket_handle>(s); }

bool set_flag(socket_handle s, int level, int name, bool on) {
    const int value = on ? 1 : 0;
    return setsockopt(raw(s), level, name, reinterpret_cast<const char*>(&value), sizeof value) == 0;
}

}  // namespace

bool start_socket_library() {
    WSADATA data{};
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

void stop_socket_library() { WSACleanup(); }

socket_handle open_socket(socket_transport transport, ip_family family) {
    const int domain = bsd_sockets::address_family(family);
    const socket_handle s = handle_of(transport == socket_transport::tcp ? socket(domain, SOCK_STREAM, IPPROTO_TCP)
                                                                         : socket(domain, SOCK_DGRAM, 0));
    // IPV6_V6ONLY is already Winsock's default; set as on POSIX, so both agree.
    if (s != no_socket && family == ip_family::v6 && !set_flag(s, IPPROTO_IPV6, IPV6_V6ONLY, true)) {
        const int error = WSAGetLastError();
        closesocket(raw(s));
        WSASetLastError(error);
        return no_socket;
    }
    return s;
}

void close_socket(socket_handle s) {
    if (s != no_socket) closesocket(raw(s));
}

void end_blocked_calls(socket_handle s) {
    if (s == no_socket) return;
    // A blocking Winsock call waits on an I/O request of the socket's handle;
    // cancelling it ends the call. shutdown keeps later calls from blocking.
    shutdown(raw(s), SD_BOTH);
    CancelIoEx(reinterpret_cast<HANDLE>(raw(s)), nullptr);
}

bool set_keepalive(socket_handle s, bool on) { return set_flag(s, SOL_SOCKET, SO_KEEPALIVE, on); }
bool set_reuse_address(socket_handle s, bool on) { return set_flag(s, SOL_SOCKET, SO_REUSEADDR, on); }
bool reserve_server_port(socket_handle s, socket_transport) { return set_flag(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, true); }

bool keepalive_enabled(socket_handle s) {
    BOOL value = FALSE;
    int size = sizeof value;
    return getsockopt(raw(s), SOL_SOCKET, SO_KEEPALIVE, reinterpret_cast<char*>(&value), &size) == 0 && value;
}

bool connect_socket(socket_handle s, ip_address address, std::uint16_t port) {
    const endpoint a = socket_address(address, port);
    return connect(raw(s), a.get(), a.size) == 0;
}

bool bind_socket(socket_handle s, ip_address address, std::uint16_t port) {
    const endpoint a = socket_address(address, port);
    return bind(raw(s), a.get(), a.size) == 0;
}

std::uint16_t bound_port(socket_handle s) {
    endpoint a;
    if (getsockname(raw(s), a.get(), &a.size) != 0) return 0;
    return port_of(a.storage);
}

bool listen_socket(socket_handle s, int backlog) { return listen(raw(s), backlog) == 0; }

socket_handle accept_connection(socket_handle listener, ip_address* peer) {
    endpoint a;
    const SOCKET s = accept(raw(listener), a.get(), &a.size);
    if (s != INVALID_SOCKET && peer) *peer = address_of(a.storage);
    return handle_of(s);
}

int send_bytes(socket_handle s, const void* data, int length) {
    const int n = send(raw(s), static_cast<const char*>(data), length, 0);
    return n == SOCKET_ERROR ? -1 : n;
}

int receive_bytes(socket_handle s, void* data, int length) {
    const int n = recv(raw(s), static_cast<char*>(data), length, 0);
    return n == SOCKET_ERROR ? -1 : n;
}

int wait_readable(socket_handle s, std::uint32_t timeout_ms) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(raw(s), &readable);
    // select counts a shut-down or closed connection as readable; the caller
    // waits in short slices and looks at its abort flag in between, too.
    timeval limit{static_cast<long>(timeout_ms / 1000), static_cast<long>(timeout_ms % 1000) * 1000};
    const int n = select(0, &readable, nullptr, nullptr, &limit);
    if (n == SOCKET_ERROR) return -1;
    return n > 0 ? 1 : 0;
}

int wait_any_readable(const socket_handle* sockets, int count, std::uint32_t timeout_ms) {
    if (count < 1 || count > FD_SETSIZE) return -2;
    fd_set readable;
    FD_ZERO(&readable);
    for (int i = 0; i < count; ++i) FD_SET(raw(sockets[i]), &readable);
    timeval limit{static_cast<long>(timeout_ms / 1000), static_cast<long>(timeout_ms % 1000) * 1000};
    const int n = select(0, &readable, nullptr, nullptr, &limit);
    if (n == SOCKET_ERROR) return -2;
    for (int i = 0; i < count; ++i)
        if (FD_ISSET(raw(sockets[i]), &readable)) return i;
    return -1;
}

int send_datagram(socket_handle s, const void* data, int length, ip_address to, std::uint16_t port) {
    const endpoint a = socket_address(to, port);
    const int n = sendto(raw(s), static_cast<const char*>(data), length, 0, a.get(), a.size);
    return n == SOCKET_ERROR ? -1 : n;
}

int receive_datagram(socket_handle s, void* data, int length, ip_address* from, std::uint16_t* from_port) {
    endpoint a;
    int n = recvfrom(raw(s), static_cast<char*>(data), length, 0, a.get(), &a.size);
    if (n == SOCKET_ERROR) {
        // Winsock fills the buffer with the start of a longer datagram, drops
        // the rest and reports WSAEMSGSIZE; POSIX cuts it without a word.
        const int family = a.storage.ss_family;
        if (WSAGetLastError() != WSAEMSGSIZE || (family != AF_INET && family != AF_INET6)) return -1;
        n = length;
    }
    if (from) *from = address_of(a.storage);
    if (from_port) *from_port = port_of(a.storage);
    return n;
}

int last_socket_error() { return WSAGetLastError(); }

ip_address ipv4_from_text(const std::string& text) { return bsd_sockets::ipv4_from_text(text); }
bool ip_from_text(const std::string& text, ip_address& address) { return bsd_sockets::ip_from_text(text, address); }
std::string address_text(ip_address address) { return bsd_sockets::address_text(address); }
bool resolve_addresses(const std::string& name, std::vector<ip_address>& addresses) {
    return bsd_sockets::resolve_addresses(name, addresses);
}
std::string host_name_of(ip_address address) { return bsd_sockets::host_name_of(address); }
std::uint32_t name_lookups_made() { return bsd_sockets::name_lookups.load(); }

}  // namespace orvane
