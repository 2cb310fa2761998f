#include "server/sntp_request.h"
#include <algorithm>

namespace orvane {
namespace {

bool asks_for_time(const sntp_packet& packet) {
    switch (sntp_mode(packet)) {
        case sntp_mode_client:
        case sntp_mode_symmetric_active: return true;
        case sntp_mode_unspecified: return sntp_version(packet) == sntp_version_one;
        default: return false;
    }
}

}  // namespace

bool read_sntp_request(const std::uint8_t* bytes, int length, sntp_packet& request) {
    if (length < static_cast<int>(sntp_packet_size)) return false;
    std::copy_n(bytes, sntp_packet_size, request.begin());
    return asks_for_time(request);
}

}  // namespace orvane
