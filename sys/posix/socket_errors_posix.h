// For the POSIX socket files: errno as this thread's last socket error, the
// Winsock code that last_socket_error then gives.
#pragma once

namespace orvane {

void record_socket_error();

}  // namespace orvane
