#include "sys/sockets.h"

namespace orvane {

std::string ipv4_text(ipv4_address address) {
    std::string text;
    for (std::size_t i = 0; i < address.bytes.size(); ++i) {
        if (i) text += '.';
        text += std::to_string(address.bytes[i]);
    }
    return text;
}

bool error_of_one_datagram(int socket_error) {
    return socket_error == socket_error_reset || socket_error == socket_error_network_reset ||
           socket_error == socket_error_message_size;
}

}  // namespace orvane
