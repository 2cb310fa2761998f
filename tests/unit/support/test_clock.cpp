#include "support/test_clock.h"
#include "sys/clock_raw.h"

namespace orvane {

filetime test_clock::utc_now() {
    if (filetime f = frozen_utc.load()) return f;
    return raw_clock::utc_now() + static_cast<filetime>(utc_shift.load());
}

std::int64_t test_clock::local_shift_at(filetime) { return std::int64_t{local_offset_minutes.load()} * 600'000'000; }

std::uint32_t test_clock::ticks() {
    if (tick_frozen.load()) return frozen_tick.load();
    return raw_clock::ticks() + tick_shift.load();
}

std::uint64_t test_clock::ticks64() {
    if (tick_frozen.load()) return frozen_tick.load();
    return raw_clock::ticks64() + tick_shift.load();
}

void test_clock::sleep(std::uint32_t ms) {
    if (!instant_sleep.load()) return raw_clock::sleep(ms);
    frozen_tick.fetch_add(ms);
    if (frozen_utc.load()) frozen_utc.fetch_add(filetime{ms} * 10'000);
    raw_clock::sleep(0);
}

bool test_clock::set_utc(const system_time& utc) {
    filetime target = 0;
    if (refuse_sets.load() || !system_time_to_filetime(utc, target)) return false;
    std::lock_guard<std::mutex> lock(sets_mutex);
    sets.push_back(utc);
    // The clock now reads the time that was set, as the real one would.
    if (frozen_utc.load())
        frozen_utc = target;
    else
        utc_shift = static_cast<std::int64_t>(target - raw_clock::utc_now());
    return true;
}

}  // namespace orvane
