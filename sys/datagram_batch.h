// UDP datagrams in batches: on Linux several in one system call (recvmmsg,
// sendmmsg), elsewhere one at a time through the socket seam. A busy UDP
// server spends most of its time in these calls.
#pragma once
#include <cstdint>
#include "sys/sockets.h"
#include "sys/time_types.h"

namespace orvane {

struct datagram {
    std::uint8_t* bytes = nullptr;
    int capacity = 0;  // receiving: the room at `bytes`; a longer datagram is cut to it
    int length = 0;    // received, or to be sent
    ip_address peer;
    std::uint16_t peer_port = 0;
    // When a received datagram arrived, on the clock of sys/clock.h: the
    // kernel's receive stamp where the socket gives one, otherwise the time
    // read right after the receive.
    filetime received_at = 0;
};

// Asks the system to stamp each datagram with its arrival time (Linux
// SO_TIMESTAMPNS); false where it cannot, and then receive_datagrams reads
// the clock after the receive instead.
bool enable_receive_stamps(socket_handle socket);

// Waits for one datagram, then also takes those already waiting, up to
// `count`. Returns how many were taken, or -1 on an error. A socket whose
// calls were ended gives empty datagrams (or the error).
int receive_datagrams(socket_handle socket, datagram* batch, int count);
// Sends each datagram to its peer; returns how many went out.
int send_datagrams(socket_handle socket, const datagram* batch, int count);

}  // namespace orvane
