#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <cerrno>
#include <cstring>
#include <ctime>
#include "sys/clock.h"
#include "sys/datagram_batch.h"
#include "sys/sockets_bsd.h"
#include "sys/posix/socket_errors_posix.h"

namespace orvane {
namespace {

// The socket seam stores a descriptor as descriptor + 1 (sockets_posix.cpp).
int descriptor_of(socket_handle s) { return static_cast<int>(s) - 1; }

constexpr int most_per_call = 64;
constexpr std::size_t stamp_room = CMSG_SPACE(sizeof(timespec));

// 100 ns units since 1970; only differences of two are used.
filetime units_of(const timespec& t) {
    return static_cast<filetime>(t.tv_sec) * 10'000'000 + static_cast<filetime>(t.tv_nsec) / 100;
}

// The kernel's stamp is on the system's real clock; the datagram's age on it
// is taken from the clock of sys/clock.h, which a test may have replaced.
filetime arrival_time(const msghdr& message, const timespec& real_now, filetime now) {
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(const_cast<msghdr*>(&message), c)) {
        if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_TIMESTAMPNS) continue;
        timespec stamp;
        std::memcpy(&stamp, CMSG_DATA(c), sizeof stamp);
        const filetime real = units_of(real_now), arrived = units_of(stamp);
        return arrived <= real && real - arrived < now ? now - (real - arrived) : now;
    }
    return now;
}

}  // namespace

bool enable_receive_stamps(socket_handle socket) {
    const int on = 1;
    return setsockopt(descriptor_of(socket), SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on) == 0;
}

int receive_datagrams(socket_handle socket, datagram* batch, int count) {
    if (count > most_per_call) count = most_per_call;
    if (count < 1) return 0;
    mmsghdr messages[most_per_call];
    iovec parts[most_per_call];
    sockaddr_storage senders[most_per_call];
    alignas(cmsghdr) unsigned char stamps[most_per_call][stamp_room];
    std::memset(messages, 0, sizeof(mmsghdr) * static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        parts[i] = {batch[i].bytes, static_cast<std::size_t>(batch[i].capacity)};
        messages[i].msg_hdr.msg_iov = &parts[i];
        messages[i].msg_hdr.msg_iovlen = 1;
        messages[i].msg_hdr.msg_name = &senders[i];
        messages[i].msg_hdr.msg_namelen = sizeof senders[i];
        messages[i].msg_hdr.msg_control = stamps[i];
        messages[i].msg_hdr.msg_controllen = stamp_room;
    }
    int n;
    // MSG_WAITFORONE: block for the first datagram only.
    do n = recvmmsg(descriptor_of(socket), messages, static_cast<unsigned>(count), MSG_WAITFORONE, nullptr);
    while (n < 0 && errno == EINTR);
    if (n < 0) {
        record_socket_error();
        return -1;
    }
    timespec real_now{};
    clock_gettime(CLOCK_REALTIME, &real_now);
    const filetime now = system_time_now();
    for (int i = 0; i < n; ++i) {
        batch[i].received_at = arrival_time(messages[i].msg_hdr, real_now, now);
        batch[i].length = static_cast<int>(messages[i].msg_len);
        batch[i].peer = bsd_sockets::address_of(senders[i]);
        batch[i].peer_port = bsd_sockets::port_of(senders[i]);
    }
    return n;
}

int send_datagrams(socket_handle socket, const datagram* batch, int count) {
    int done = 0, went = 0;
    while (done < count) {
        const int now = count - done < most_per_call ? count - done : most_per_call;
        mmsghdr messages[most_per_call];
        iovec parts[most_per_call];
        bsd_sockets::endpoint peers[most_per_call];
        std::memset(messages, 0, sizeof(mmsghdr) * static_cast<std::size_t>(now));
        for (int i = 0; i < now; ++i) {
            const datagram& d = batch[done + i];
            parts[i] = {d.bytes, static_cast<std::size_t>(d.length)};
            peers[i] = bsd_sockets::socket_address(d.peer, d.peer_port);
            messages[i].msg_hdr.msg_iov = &parts[i];
            messages[i].msg_hdr.msg_iovlen = 1;
            messages[i].msg_hdr.msg_name = &peers[i].storage;
            messages[i].msg_hdr.msg_namelen = static_cast<socklen_t>(peers[i].size);
        }
        int n;
        do n = sendmmsg(descriptor_of(socket), messages, static_cast<unsigned>(now), MSG_NOSIGNAL);
        while (n < 0 && errno == EINTR);
        // A datagram that cannot go (say, a full queue) is skipped, as a
        // failed send of one would be.
        if (n > 0) {
            done += n;
            went += n;
        } else {
            ++done;
        }
    }
    return went;
}

}  // namespace orvane
