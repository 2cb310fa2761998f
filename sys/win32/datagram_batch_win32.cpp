// Winsock has no batch calls: one datagram per call.
#include "sys/datagram_batch.h"
#include "sys/clock.h"

namespace orvane {

bool enable_receive_stamps(socket_handle) { return false; }

int receive_datagrams(socket_handle socket, datagram* batch, int count) {
    if (count < 1) return 0;
    const int n = receive_datagram(socket, batch[0].bytes, batch[0].capacity, &batch[0].peer, &batch[0].peer_port);
    if (n < 0) return -1;
    batch[0].received_at = system_time_now();
    batch[0].length = n;
    return 1;
}

int send_datagrams(socket_handle socket, const datagram* batch, int count) {
    int sent = 0;
    for (int i = 0; i < count; ++i)
        if (send_datagram(socket, batch[i].bytes, batch[i].length, batch[i].peer, batch[i].peer_port) >= 0) ++sent;
    return sent;
}

}  // namespace orvane
