#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <cerrno>
#include <cstring>
#include "sys/datagram_batch.h"
#include "sys/sockets_bsd.h"

namespace orvane {
namespace {

// The socket seam stores a descriptor as descriptor + 1 (sockets_posix.cpp).
int descriptor_of(socket_handle s) { return static_cast<int>(s) - 1; }

constexpr int most_per_call = 64;

}  // namespace

int receive_datagrams(socket_handle socket, datagram* batch, int count) {
    if (count > most_per_call) count = most_per_call;
    if (count < 1) return 0;
    mmsghdr messages[most_per_call];
    iovec parts[most_per_call];
    sockaddr_in senders[most_per_call];
    std::memset(messages, 0, sizeof(mmsghdr) * static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        parts[i] = {batch[i].bytes, static_cast<std::size_t>(batch[i].capacity)};
        messages[i].msg_hdr.msg_iov = &parts[i];
        messages[i].msg_hdr.msg_iovlen = 1;
        messages[i].msg_hdr.msg_name = &senders[i];
        messages[i].msg_hdr.msg_namelen = sizeof senders[i];
    }
    int n;
    // MSG_WAITFORONE: block for the first datagram only.
    do n = recvmmsg(descriptor_of(socket), messages, static_cast<unsigned>(count), MSG_WAITFORONE, nullptr);
    while (n < 0 && errno == EINTR);
    if (n < 0) return -1;
    for (int i = 0; i < n; ++i) {
        batch[i].length = static_cast<int>(messages[i].msg_len);
        batch[i].peer = bsd_sockets::address_of(senders[i]);
        batch[i].peer_port = ntohs(senders[i].sin_port);
    }
    return n;
}

int send_datagrams(socket_handle socket, const datagram* batch, int count) {
    int done = 0, went = 0;
    while (done < count) {
        const int now = count - done < most_per_call ? count - done : most_per_call;
        mmsghdr messages[most_per_call];
        iovec parts[most_per_call];
        sockaddr_in peers[most_per_call];
        std::memset(messages, 0, sizeof(mmsghdr) * static_cast<std::size_t>(now));
        for (int i = 0; i < now; ++i) {
            const datagram& d = batch[done + i];
            parts[i] = {d.bytes, static_cast<std::size_t>(d.length)};
            peers[i] = bsd_sockets::socket_address(d.peer, d.peer_port);
            messages[i].msg_hdr.msg_iov = &parts[i];
            messages[i].msg_hdr.msg_iovlen = 1;
            messages[i].msg_hdr.msg_name = &peers[i];
            messages[i].msg_hdr.msg_namelen = sizeof peers[i];
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
