// TCP and UDP over IPv4 and IPv6 behind one seam: Winsock 2.2 on Windows, BSD sockets
// on POSIX. Handles are `socket_handle` values (0 = none); errors are
// reported with the Winsock codes on both systems, so callers map one set.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>
#include "sys/sockets_types.h"

namespace orvane {

enum class ip_family : std::uint8_t { v4, v6 };
constexpr std::size_t ipv4_address_size = 4, ipv6_address_size = 16;

// An IPv4 or IPv6 address as its bytes in wire order: an IPv4 address fills
// the first four (127.0.0.1 is {127, 0, 0, 1}), an IPv6 address all sixteen.
struct ip_address {
    std::array<std::uint8_t, ipv6_address_size> bytes{};
    ip_family family = ip_family::v4;
    friend bool operator==(const ip_address&, const ip_address&) = default;
};
// What inet_addr gives for text that is not an address.
constexpr ip_address ipv4_none{{255, 255, 255, 255}};
constexpr ip_address ipv4_any{{0, 0, 0, 0}};
constexpr ip_address ipv4_loopback{{127, 0, 0, 1}};
constexpr ip_address ipv6_any{{}, ip_family::v6};
constexpr ip_address ipv6_loopback{{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, ip_family::v6};

// The Winsock error codes that callers tell apart (last_socket_error).
enum socket_error : int {
    socket_error_none = 0,
    socket_error_interrupted = 10004,      // WSAEINTR
    socket_error_bad_handle = 10009,       // WSAEBADF
    socket_error_access = 10013,           // WSAEACCES
    socket_error_invalid = 10022,          // WSAEINVAL
    socket_error_too_many = 10024,         // WSAEMFILE
    socket_error_would_block = 10035,      // WSAEWOULDBLOCK
    socket_error_not_socket = 10038,       // WSAENOTSOCK
    socket_error_message_size = 10040,     // WSAEMSGSIZE
    socket_error_no_protocol_option = 10042,  // WSAENOPROTOOPT
    socket_error_no_support = 10043,       // WSAEPROTONOSUPPORT
    socket_error_address_in_use = 10048,   // WSAEADDRINUSE
    socket_error_address_unavailable = 10049,  // WSAEADDRNOTAVAIL
    socket_error_network_down = 10050,     // WSAENETDOWN
    socket_error_network_unreachable = 10051,  // WSAENETUNREACH
    socket_error_network_reset = 10052,    // WSAENETRESET
    socket_error_aborted = 10053,          // WSAECONNABORTED
    socket_error_reset = 10054,            // WSAECONNRESET
    socket_error_no_buffers = 10055,       // WSAENOBUFS
    socket_error_is_connected = 10056,     // WSAEISCONN
    socket_error_not_connected = 10057,    // WSAENOTCONN
    socket_error_shut_down = 10058,        // WSAESHUTDOWN
    socket_error_timed_out = 10060,        // WSAETIMEDOUT
    socket_error_refused = 10061,          // WSAECONNREFUSED
    socket_error_host_unreachable = 10065,  // WSAEHOSTUNREACH
    socket_error_not_initialised = 10093,  // WSANOTINITIALISED
    socket_error_other = 10100,            // no Winsock counterpart (POSIX only)
};

// Start-up and clean-up of the socket library (WSAStartup 2.2 / WSACleanup;
// nothing on POSIX). Callers count their users (engine/winsock_count.cpp).
bool start_socket_library();
void stop_socket_library();

enum class socket_transport { tcp, udp };
// An AF_INET or AF_INET6 socket: TCP (SOCK_STREAM, IPPROTO_TCP) or UDP
// (SOCK_DGRAM, 0). An IPv6 socket is IPv6 only (IPV6_V6ONLY), on both
// systems alike, so that a server's IPv4 socket can share its port number.
// no_socket on failure.
socket_handle open_socket(socket_transport transport, ip_family family = ip_family::v4);
// Frees the handle. Only the socket's owner calls it, once.
void close_socket(socket_handle socket);
// Makes a receive, accept or connect that another thread is blocked in on
// `socket` return at once (with an error or 0), and every later one too.
// The handle stays valid: its owner still closes it. (Closing from another
// thread does not wake a blocked call on Linux, and could hit a handle that
// a new socket has already reused.)
void end_blocked_calls(socket_handle socket);

bool set_keepalive(socket_handle socket, bool on);
bool keepalive_enabled(socket_handle socket);
bool set_reuse_address(socket_handle socket, bool on);
// Readies a server's socket, before its bind, so that no other program can
// bind its port beside it. Windows: SO_EXCLUSIVEADDRUSE (otherwise any
// program that sets SO_REUSEADDR could bind the port too and take its
// requests). POSIX shares a port only among sockets that all ask for it, so
// a UDP socket needs nothing; a TCP listener gets SO_REUSEADDR, so that a
// restarted server can bind its port while connections it closed wait in
// TIME_WAIT (no other socket can bind a port that a listener holds).
bool reserve_server_port(socket_handle socket, socket_transport transport);

bool connect_socket(socket_handle socket, ip_address address, std::uint16_t port);
bool bind_socket(socket_handle socket, ip_address address, std::uint16_t port);
// The port a socket is bound to (after binding port 0), or 0.
std::uint16_t bound_port(socket_handle socket);
bool listen_socket(socket_handle socket, int backlog);
// no_socket on failure; `peer` (when given) receives the caller's address.
socket_handle accept_connection(socket_handle listener, ip_address* peer);

// Byte counts, or -1 on error (then last_socket_error says why). A receive
// returns 0 when the peer has closed or the socket was ended.
int send_bytes(socket_handle socket, const void* data, int length);
int receive_bytes(socket_handle socket, void* data, int length);
int send_datagram(socket_handle socket, const void* data, int length, ip_address to, std::uint16_t port);
// A datagram longer than `length` is cut to it on both systems (Winsock,
// which reports WSAEMSGSIZE for it, included): the count is then `length`.
int receive_datagram(socket_handle socket, void* data, int length, ip_address* from, std::uint16_t* from_port);
// True for the receive errors that one datagram causes and the socket
// outlives, so that the next receive may follow at once: an earlier send
// that an ICMP message reported undeliverable (WSAECONNRESET, WSAENETRESET)
// and a datagram too long for the buffer where it is not cut (WSAEMSGSIZE).
bool error_of_one_datagram(int socket_error);

// Waits at most `timeout_ms` for `socket` to have something to receive (or
// to be ended by end_blocked_calls): 1 when it has, 0 when the time ran out,
// -1 on error (last_socket_error says why).
int wait_readable(socket_handle socket, std::uint32_t timeout_ms);
// The same for several sockets (at most 64): the index of one that has
// something to receive, -1 when the time ran out, -2 on error.
int wait_any_readable(const socket_handle* sockets, int count, std::uint32_t timeout_ms);

// The error of this thread's last failed socket call, as a Winsock code.
int last_socket_error();

// inet_addr: the IPv4 address of dotted text, or ipv4_none.
ip_address ipv4_from_text(const std::string& text);
// An address written as text: dotted IPv4 (as inet_addr reads it) or IPv6
// (as inet_pton reads it), the latter also in brackets ("[2001:db8::1]").
// False for anything else, ipv4_none's text included.
bool ip_from_text(const std::string& text, ip_address& address);
// The usual text form: "a.b.c.d", or IPv6 as inet_ntop writes it (RFC 5952).
std::string address_text(ip_address address);
// The addresses of a host name, IPv4 and IPv6, in the order the resolver
// gives them, each once (safe to call from several threads). False for a
// name that does not resolve.
bool resolve_addresses(const std::string& name, std::vector<ip_address>& addresses);
// The host name of an address, or "" when it has none.
std::string host_name_of(ip_address address);
// How many name look-ups resolve_addresses has asked of the resolver in this
// process (shows that dotted text is used without one).
std::uint32_t name_lookups_made();

}  // namespace orvane
