// The SNTP server's gathering of a request from datagrams, against a plain
// byte-buffer model of the same rules.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>
#include "server/request_gathering.h"

using namespace orvane;

namespace {

void check(bool holds) {
    if (!holds) __builtin_trap();
}

struct model {
    std::vector<std::uint8_t> pending;
    std::vector<std::uint8_t> last_request;
    int receives = 0;

    bool add(const std::uint8_t* bytes, int length, bool aborted) {
        if (!pending.empty() && aborted) restart();
        if (length <= 0 || length > 48 - static_cast<int>(pending.size())) {
            restart();
            return false;
        }
        pending.insert(pending.end(), bytes, bytes + length);
        if (pending.size() == 48) {
            last_request = pending;
            restart();
            return true;
        }
        if (++receives >= gathering_receives) restart();
        return false;
    }
    void restart() {
        pending.clear();
        receives = 0;
    }
};

}  // namespace

// Input: datagrams, each one header byte (low 6 bits its length, up to 63;
// bit 6 the query's abort flag; bit 7 a failed receive first) and its bytes.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    request_gathering gathering;
    model expected;
    std::size_t at = 0;
    while (at < size) {
        const std::uint8_t header = data[at++];
        if (header & 0x80) {
            gathering.restart();
            expected.restart();
        }
        const int wanted = header & 0x3F;
        const int length = static_cast<int>(std::min<std::size_t>(wanted, size - at));
        // The bytes are copied, as a receive buffer would hold them.
        std::vector<std::uint8_t> bytes(data + at, data + at + length);
        at += static_cast<std::size_t>(length);
        datagram d;
        d.bytes = bytes.data();
        d.capacity = length;
        d.length = length;
        const bool aborted = header & 0x40;
        const bool completed = gathering.add(d, aborted);
        check(completed == expected.add(bytes.data(), length, aborted));
        if (completed)
            check(std::vector<std::uint8_t>(gathering.request().begin(), gathering.request().end()) ==
                  expected.last_request);
    }
    return 0;
}
