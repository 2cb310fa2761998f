// The TIME reply and the date-range test it meets: any four bytes, any
// count received, any bounds. A refused bound only ever moves outwards, and
// never wraps at 0 or at the top.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include "engine/date_range.h"
#include "engine/ntp_time.h"
#include "engine/sntp_packet.h"

using namespace orvane;

namespace {

void check(bool holds) {
    if (!holds) __builtin_trap();
}

std::uint64_t read64(const std::uint8_t* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

}  // namespace

// Input: the reply (4 bytes), the count received (1 byte, signed), the two
// bounds (8 bytes each), the switches (1 byte).
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::uint8_t bytes[22] = {};
    std::memcpy(bytes, data, size < sizeof bytes ? size : sizeof bytes);
    std::uint8_t reply[time_reply_size];
    std::memcpy(reply, bytes, sizeof reply);
    const int received = static_cast<std::int8_t>(bytes[4]);

    const std::uint32_t seconds = time_reply_seconds(reply, received);
    const std::uint32_t sent = std::uint32_t{reply[0]} << 24 | std::uint32_t{reply[1]} << 16 |
                               std::uint32_t{reply[2]} << 8 | reply[3];
    check(seconds == (received == 4 ? sent : 0));
    if (seconds == 0) return 0;

    query_engine e;
    e.date_after = read64(bytes + 5);
    e.date_before = read64(bytes + 13);
    e.date_range_enabled = bytes[21] & 1;
    e.date_range_auto_reset = (bytes[21] >> 1) & 1;
    const filetime after = e.date_after, before = e.date_before;
    const filetime reply_time = ntp_seconds_to_filetime(seconds);
    const bool accepted = date_range_accepts(e, reply_time);

    const std::uint32_t block = high_word(reply_time);
    const bool below = block < high_word(after), above = block > high_word(before);
    check(accepted == (!e.date_range_enabled || (!below && !above)));
    // Only a refused bound moves, only outwards, and only its high word.
    check(low_word(e.date_after) == low_word(after) && low_word(e.date_before) == low_word(before));
    check(e.date_after <= after && e.date_before >= before);
    const bool widen = e.date_range_enabled && e.date_range_auto_reset;
    check((e.date_after != after) == (widen && below && high_word(after) != 0));
    check((e.date_before != before) == (widen && above && high_word(before) != 0xFFFF'FFFFu));
    return 0;
}
