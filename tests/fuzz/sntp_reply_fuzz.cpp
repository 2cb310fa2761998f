// The client's checks of an SNTP reply and the reading of one that passes,
// against the rules written out one by one; the offset arithmetic runs with
// any timestamps and any local clock readings.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include "engine/sntp_packet.h"

using namespace orvane;

namespace {

void check(bool holds) {
    if (!holds) __builtin_trap();
}

// The first rule that the reply breaks, by its number.
int model(const std::uint8_t* p) {
    const int mode = p[0] & 7;
    if (mode != 4 && mode != 5) return 1;
    if (p[1] == 0) return 2;
    if (p[0] >> 6 == 3) return 3;
    bool zero = true;
    for (int i = 40; i < 48; ++i) zero = zero && p[i] == 0;
    return zero ? 4 : 0;
}

std::uint64_t read64(const std::uint8_t* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

}  // namespace

// Input: the reply (48 bytes, zero-padded), then T1 and T4 (8 bytes each).
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::uint8_t bytes[64] = {};
    std::memcpy(bytes, data, size < sizeof bytes ? size : sizeof bytes);
    sntp_packet reply;
    std::memcpy(reply.data(), bytes, reply.size());
    const filetime t1 = read64(bytes + 48), t4 = read64(bytes + 56);

    sntp_reading reading;
    const sntp_reply_check result = read_sntp_reply(reply, t1, t4, reading);
    const int number = static_cast<int>(result);
    check(number == model(bytes));
    check(result == check_sntp_reply(reply));
    // Every refusal has a reason to log; a pass has none.
    check((*sntp_reply_check_reason(number) == '\0') == (result == sntp_reply_check::passed));
    check(*sntp_reply_check_reason(number - 5) == '\0' && *sntp_reply_check_reason(number + 5) == '\0');
    if (result != sntp_reply_check::passed) {
        check(reading.offset == 0 && reading.server_seconds == 0 && reading.server_time == 0);
        return 0;
    }
    const ntp_timestamp transmit = read_timestamp(reply, sntp_transmit_at);
    check(reading.server_seconds == transmit.seconds);
    check(reading.server_time == ntp_timestamp_to_filetime(transmit));
    // The server's time always lies in one of the two eras the client knows.
    check(reading.server_time >= E1900 && reading.server_time < E1900 + 2 * ntp_era_length);
    // A server that answers at once with the client's own time (whole
    // seconds from 1968 to 2036, the era that the top bit marks): no offset.
    constexpr filetime second = filetime_units_per_second;
    if (t1 == t4 && t1 >= E1900 + (filetime{1} << 31) * second && t1 < E1900 + ntp_era_length &&
        (t1 - E1900) % second == 0) {
        sntp_packet echo = reply;
        write_timestamp(echo, sntp_receive_at, filetime_to_ntp_timestamp(t1));
        write_timestamp(echo, sntp_transmit_at, filetime_to_ntp_timestamp(t1));
        sntp_reading same;
        check(read_sntp_reply(echo, t1, t4, same) == sntp_reply_check::passed);
        check(same.offset == 0 && same.server_time == t1);
    }
    return 0;
}
