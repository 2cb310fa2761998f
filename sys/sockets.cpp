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

}  // namespace orvane
