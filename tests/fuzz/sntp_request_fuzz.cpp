// The SNTP server's check of a received datagram, against a plain model of
// the rule: 48 bytes or more, and mode 3, mode 1, or mode 0 with version 1.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>
#include "server/sntp_request.h"

using namespace orvane;

namespace {

void check(bool holds) {
    if (!holds) __builtin_trap();
}

bool model_answers(const std::vector<std::uint8_t>& d) {
    if (d.size() < 48) return false;
    const int mode = d[0] & 7, version = (d[0] >> 3) & 7;
    return mode == 3 || mode == 1 || (mode == 0 && version == 1);
}

}  // namespace

// Input: datagrams, each one header byte (its length, up to 255) and its
// bytes. Each is checked on its own, as the server takes each alone.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::size_t at = 0;
    while (at < size) {
        const std::size_t length = std::min<std::size_t>(data[at++], size - at);
        // Copied, as a receive buffer would hold them.
        const std::vector<std::uint8_t> bytes(data + at, data + at + length);
        at += length;
        sntp_packet request;
        request.fill(0xEE);
        const bool answered = read_sntp_request(bytes.data(), static_cast<int>(bytes.size()), request);
        check(answered == model_answers(bytes));
        if (answered) check(std::equal(request.begin(), request.end(), bytes.begin()));
    }
    return 0;
}
