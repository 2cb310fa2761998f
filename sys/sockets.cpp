#include "sys/sockets.h"

namespace orvane {

bool error_of_one_datagram(int socket_error) {
    return socket_error == socket_error_reset || socket_error == socket_error_network_reset ||
           socket_error == socket_error_message_size;
}

}  // namespace orvane
