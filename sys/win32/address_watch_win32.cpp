// The address watch through the IP helper's notification of new unicast
// addresses; the system calls back on a thread of its own.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <ws2ipdef.h>
#include <iphlpapi.h>
#include <netioapi.h>
#include <cstring>
#include "sys/address_watch.h"

namespace orvane {

struct address_watch::impl {
    HANDLE notification = nullptr;
    address_appeared appeared = nullptr;
    void* context = nullptr;
};

namespace {

// IPv4's loopback network, 127.0.0.0/8.
constexpr unsigned char ipv4_loopback_net = 127;

bool ipv6_loopback(const IN6_ADDR& a) {
    static const IN6_ADDR loopback = IN6ADDR_LOOPBACK_INIT;
    return std::memcmp(&a, &loopback, sizeof a) == 0;
}

// An address that others can reach, not one of loopback.
bool usable(const MIB_UNICASTIPADDRESS_ROW& row) {
    const ADDRESS_FAMILY family = row.Address.si_family;
    if (family == AF_INET) return row.Address.Ipv4.sin_addr.S_un.S_un_b.s_b1 != ipv4_loopback_net;
    return family == AF_INET6 && !ipv6_loopback(row.Address.Ipv6.sin6_addr);
}

void WINAPI address_changed(void* context, MIB_UNICASTIPADDRESS_ROW* row, MIB_NOTIFICATION_TYPE type) {
    const auto* w = static_cast<address_watch::impl*>(context);
    if (type == MibAddInstance && row && usable(*row)) w->appeared(w->context);
}

}  // namespace

bool address_watch::start(address_appeared appeared, void* context) {
    if (impl_) return true;
    auto* w = new impl{nullptr, appeared, context};
    if (NotifyUnicastIpAddressChange(AF_UNSPEC, address_changed, w, FALSE, &w->notification) != NO_ERROR) {
        delete w;
        return false;
    }
    impl_ = w;
    return true;
}

void address_watch::stop() {
    if (!impl_) return;
    // Returns once no callback runs any more.
    CancelMibChangeNotify2(impl_->notification);
    delete impl_;
    impl_ = nullptr;
}

}  // namespace orvane
