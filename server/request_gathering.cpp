#include "server/request_gathering.h"
#include <algorithm>

namespace orvane {

bool request_gathering::add(const datagram& d, bool query_aborted) {
    constexpr int request_size = static_cast<int>(sntp_packet_size);
    if (gathered_ > 0 && query_aborted) restart();
    const int room = request_size - gathered_;
    if (d.length <= 0 || d.length > room) {
        restart();
        return false;
    }
    std::copy_n(d.bytes, d.length, request_.begin() + gathered_);
    gathered_ += d.length;
    if (gathered_ == request_size) {
        restart();
        return true;
    }
    if (++receives_ >= gathering_receives) restart();
    return false;
}

}  // namespace orvane
