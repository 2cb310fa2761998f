#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <cstring>
#include "sys/sockets.h"
#include "sys/sockets_bsd.h"

namespace orvane {
namespace {

using bsd_sockets::address_of;
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

socket_handle open_socket(socket_transport transport) {
    return handle_of(transport == socket_transport::tcp ? socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)
                                                        : socket(AF_INET, SOCK_DGRAM, 0));
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

bool connect_socket(socket_handle s, ipv4_address address, std::uint16_t port) {
    const sockaddr_in a = socket_address(address, port);
    return connect(raw(s), reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
}

bool bind_socket(socket_handle s, ipv4_address address, std::uint16_t port) {
    const sockaddr_in a = socket_address(address, port);
    return bind(raw(s), reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
}

std::uint16_t bound_port(socket_handle s) {
    sockaddr_in a{};
    int size = sizeof a;
    if (getsockname(raw(s), reinterpret_cast<sockaddr*>(&a), &size) != 0) return 0;
    return ntohs(a.sin_port);
}

bool listen_socket(socket_handle s, int backlog) { return listen(raw(s), backlog) == 0; }

socket_handle accept_connection(socket_handle listener, ipv4_address* peer) {
    sockaddr_in a{};
    int size = sizeof a;
    const SOCKET s = accept(raw(listener), reinterpret_cast<sockaddr*>(&a), &size);
    if (s != INVALID_SOCKET && peer) *peer = address_of(a);
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

int send_datagram(socket_handle s, const void* data, int length, ipv4_address to, std::uint16_t port) {
    const sockaddr_in a = socket_address(to, port);
    const int n = sendto(raw(s), static_cast<const char*>(data), length, 0, reinterpret_cast<const sockaddr*>(&a),
                         sizeof a);
    return n == SOCKET_ERROR ? -1 : n;
}

int receive_datagram(socket_handle s, void* data, int length, ipv4_address* from, std::uint16_t* from_port) {
    sockaddr_in a{};
    int size = sizeof a;
    int n = recvfrom(raw(s), static_cast<char*>(data), length, 0, reinterpret_cast<sockaddr*>(&a), &size);
    if (n == SOCKET_ERROR) {
        // Winsock fills the buffer with the start of a longer datagram, drops
        // the rest and reports WSAEMSGSIZE; POSIX cuts it without a word.
        if (WSAGetLastError() != WSAEMSGSIZE || a.sin_family != AF_INET) return -1;
        n = length;
    }
    if (from) *from = address_of(a);
    if (from_port) *from_port = ntohs(a.sin_port);
    return n;
}

int last_socket_error() { return WSAGetLastError(); }

ipv4_address ipv4_from_text(const std::string& text) { return bsd_sockets::ipv4_from_text(text); }
bool resolve_ipv4(const std::string& name, ipv4_address& address) { return bsd_sockets::resolve_ipv4(name, address); }
std::string host_name_of(ipv4_address address) { return bsd_sockets::host_name_of(address); }
std::uint32_t name_lookups_made() { return bsd_sockets::name_lookups.load(); }

}  // namespace orvane
