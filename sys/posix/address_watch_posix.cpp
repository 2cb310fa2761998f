// The address watch over a netlink socket that hears of new IPv4 and IPv6
// addresses, read by a thread of its own.
#include "sys/address_watch.h"
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <atomic>
#include <cstdint>
#include "sys/threads.h"

namespace orvane {

namespace {

// The thread looks at its stop flag at least this often (a stop wakes it at
// once through its pipe), and is given this long to end.
constexpr int poll_interval_ms = 1'000;
constexpr std::uint32_t join_limit_ms = 2'000;
constexpr std::size_t receive_buffer_bytes = 8192;

}  // namespace

struct address_watch::impl {
    int socket = -1;
    // Written once to wake the thread for its end.
    int wake[2] = {-1, -1};
    address_appeared appeared = nullptr;
    void* context = nullptr;
    std::atomic<bool> stopping{false};
    joinable_thread thread;
    ~impl() {
        for (int fd : {socket, wake[0], wake[1]})
            if (fd >= 0) close(fd);
    }
};

namespace {

// A new address that others can reach: not loopback's (host scope) and not
// one still checked for duplicates (tentative).
bool usable_new_address(const nlmsghdr* header) {
    if (header->nlmsg_type != RTM_NEWADDR || header->nlmsg_len < NLMSG_LENGTH(sizeof(ifaddrmsg))) return false;
    const auto* address = static_cast<const ifaddrmsg*>(NLMSG_DATA(header));
    return address->ifa_scope != RT_SCOPE_HOST && (address->ifa_flags & IFA_F_TENTATIVE) == 0;
}

void watch_loop(void* parameter) {
    auto* w = static_cast<address_watch::impl*>(parameter);
    alignas(nlmsghdr) char buffer[receive_buffer_bytes];
    while (!w->stopping) {
        pollfd p[2] = {{w->socket, POLLIN, 0}, {w->wake[0], POLLIN, 0}};
        if (poll(p, 2, poll_interval_ms) <= 0 || (p[0].revents & POLLIN) == 0) continue;
        const ssize_t got = recv(w->socket, buffer, sizeof buffer, MSG_DONTWAIT);
        if (got <= 0) continue;
        bool appeared = false;
        auto length = static_cast<unsigned>(got);
        for (auto* h = reinterpret_cast<nlmsghdr*>(buffer); NLMSG_OK(h, length); h = NLMSG_NEXT(h, length))
            appeared = appeared || usable_new_address(h);
        if (appeared && !w->stopping) w->appeared(w->context);
    }
}

}  // namespace

bool address_watch::start(address_appeared appeared, void* context) {
    if (impl_) return true;
    auto* w = new impl;
    w->appeared = appeared;
    w->context = context;
    w->socket = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    local.nl_groups = RTMGRP_IPV4_IFADDR | RTMGRP_IPV6_IFADDR;
    if (w->socket < 0 || pipe2(w->wake, O_CLOEXEC) != 0 || bind(w->socket, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        !w->thread.start(watch_loop, w)) {
        delete w;
        return false;
    }
    impl_ = w;
    return true;
}

void address_watch::stop() {
    if (!impl_) return;
    impl_->stopping = true;
    const char wake = 1;
    [[maybe_unused]] const ssize_t written = write(impl_->wake[1], &wake, 1);
    // A thread that misses its limit keeps what it uses: the record is left
    // to it rather than freed under it.
    if (impl_->thread.join_for(join_limit_ms)) delete impl_;
    impl_ = nullptr;
}

}  // namespace orvane
