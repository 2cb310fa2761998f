// The parts of the socket seam that Winsock and POSIX spell the same way
// (address structures, getaddrinfo, getnameinfo, inet_pton, inet_ntop).
// Included by the platform files after their own socket headers; nothing
// else includes it.
#pragma once
#include <algorithm>
#include <atomic>
#include <cstring>
#include "sys/sockets.h"

namespace orvane::bsd_sockets {

// A socket address of either family with its length, as the calls take it.
struct endpoint {
    sockaddr_storage storage{};
    int size = sizeof(sockaddr_storage);
    const sockaddr* get() const { return reinterpret_cast<const sockaddr*>(&storage); }
    sockaddr* get() { return reinterpret_cast<sockaddr*>(&storage); }
};

inline int address_family(ip_family family) { return family == ip_family::v6 ? AF_INET6 : AF_INET; }

inline endpoint socket_address(ip_address address, std::uint16_t port) {
    endpoint e;
    if (address.family == ip_family::v6) {
        auto& a = reinterpret_cast<sockaddr_in6&>(e.storage);
        a.sin6_family = AF_INET6;
        a.sin6_port = htons(port);
        static_assert(sizeof a.sin6_addr == ipv6_address_size);
        std::memcpy(&a.sin6_addr, address.bytes.data(), ipv6_address_size);
        e.size = sizeof a;
    } else {
        auto& a = reinterpret_cast<sockaddr_in&>(e.storage);
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        static_assert(sizeof a.sin_addr == ipv4_address_size);
        std::memcpy(&a.sin_addr, address.bytes.data(), ipv4_address_size);
        e.size = sizeof a;
    }
    return e;
}

inline ip_address address_of(const sockaddr_storage& storage) {
    ip_address out;
    if (storage.ss_family == AF_INET6) {
        out.family = ip_family::v6;
        std::memcpy(out.bytes.data(), &reinterpret_cast<const sockaddr_in6&>(storage).sin6_addr, ipv6_address_size);
    } else {
        std::memcpy(out.bytes.data(), &reinterpret_cast<const sockaddr_in&>(storage).sin_addr, ipv4_address_size);
    }
    return out;
}

inline std::uint16_t port_of(const sockaddr_storage& storage) {
    return ntohs(storage.ss_family == AF_INET6 ? reinterpret_cast<const sockaddr_in6&>(storage).sin6_port
                                               : reinterpret_cast<const sockaddr_in&>(storage).sin_port);
}

inline ip_address ipv4_from_text(const std::string& text) {
    const auto value = inet_addr(text.c_str());  // in wire order already
    static_assert(sizeof value == ipv4_address_size);
    ip_address out;
    std::memcpy(out.bytes.data(), &value, ipv4_address_size);
    return out;
}

inline bool ip_from_text(const std::string& text, ip_address& address) {
    const ip_address v4 = ipv4_from_text(text);
    if (v4 != ipv4_none) {
        address = v4;
        return true;
    }
    // IPv6 text holds a colon; in a URL or a host:port pair it is bracketed.
    std::string bare = text;
    if (bare.size() > 2 && bare.front() == '[' && bare.back() == ']') bare = bare.substr(1, bare.size() - 2);
    ip_address v6{{}, ip_family::v6};
    if (bare.find(':') == std::string::npos || inet_pton(AF_INET6, bare.c_str(), v6.bytes.data()) != 1) return false;
    address = v6;
    return true;
}

inline std::string address_text(ip_address address) {
    char text[INET6_ADDRSTRLEN] = {};
    return inet_ntop(address_family(address.family), address.bytes.data(), text, sizeof text) ? text : std::string{};
}

inline std::atomic<std::uint32_t> name_lookups{0};

// getaddrinfo is safe to call from several threads (gethostbyname is not).
inline bool resolve_addresses(const std::string& name, std::vector<ip_address>& addresses) {
    name_lookups.fetch_add(1);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;  // one entry per address, not one per socket type
    addrinfo* found = nullptr;
    if (getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0 || !found) return false;
    addresses.clear();
    for (const addrinfo* a = found; a; a = a->ai_next) {
        if ((a->ai_family != AF_INET && a->ai_family != AF_INET6) || !a->ai_addr) continue;
        sockaddr_storage storage{};
        std::memcpy(&storage, a->ai_addr, std::min(sizeof storage, static_cast<std::size_t>(a->ai_addrlen)));
        const ip_address address = address_of(storage);
        if (std::find(addresses.begin(), addresses.end(), address) == addresses.end()) addresses.push_back(address);
    }
    freeaddrinfo(found);
    return !addresses.empty();
}

inline std::string host_name_of(ip_address address) {
    const endpoint e = socket_address(address, 0);
    char name[NI_MAXHOST] = {};
    if (getnameinfo(e.get(), e.size, name, sizeof name, nullptr, 0, NI_NAMEREQD) != 0) return {};
    return name;
}

}  // namespace orvane::bsd_sockets
