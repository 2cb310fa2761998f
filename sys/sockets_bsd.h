// The parts of the socket seam that Winsock and POSIX spell the same way
// (address structures, getaddrinfo, getnameinfo). Included by the two
// platform files after their own socket headers; nothing else includes it.
#pragma once
#include <atomic>
#include <cstring>
#include "sys/sockets.h"

namespace orvane::bsd_sockets {

inline sockaddr_in socket_address(ipv4_address address, std::uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    std::memcpy(&a.sin_addr, address.bytes.data(), 4);
    return a;
}

inline ipv4_address address_of(const sockaddr_in& a) {
    ipv4_address out;
    std::memcpy(out.bytes.data(), &a.sin_addr, 4);
    return out;
}

inline ipv4_address ipv4_from_text(const std::string& text) {
    const auto value = inet_addr(text.c_str());  // in wire order already
    static_assert(sizeof value == 4);
    ipv4_address out;
    std::memcpy(out.bytes.data(), &value, 4);
    return out;
}

inline std::atomic<std::uint32_t> name_lookups{0};

// getaddrinfo is safe to call from several threads (gethostbyname is not).
inline bool resolve_ipv4(const std::string& name, ipv4_address& address) {
    name_lookups.fetch_add(1);
    addrinfo hints{};
    hints.ai_family = AF_INET;  // a name with only IPv6 addresses finds nothing
    addrinfo* found = nullptr;
    if (getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0 || !found) return false;
    bool ok = false;
    for (const addrinfo* a = found; a && !ok; a = a->ai_next) {
        if (a->ai_family != AF_INET || !a->ai_addr) continue;
        address = address_of(*reinterpret_cast<const sockaddr_in*>(a->ai_addr));
        ok = true;
    }
    freeaddrinfo(found);
    return ok;
}

inline std::string host_name_of(ipv4_address address) {
    const sockaddr_in a = socket_address(address, 0);
    char name[NI_MAXHOST] = {};
    if (getnameinfo(reinterpret_cast<const sockaddr*>(&a), sizeof a, name, sizeof name, nullptr, 0, NI_NAMEREQD) != 0)
        return {};
    return name;
}

}  // namespace orvane::bsd_sockets
