#include "sys/clock.h"
#include <atomic>
#include "sys/clock_raw.h"
#include "sys/test_clock.h"

namespace orvane {
namespace {
std::atomic<test_clock*> g_test_clock{nullptr};
}

void install_test_clock(test_clock* clock) { g_test_clock.store(clock); }
test_clock* installed_test_clock() { return g_test_clock.load(); }

filetime system_time_now() {
    if (test_clock* c = g_test_clock.load()) {
        if (filetime f = c->frozen_utc.load()) return f;
        return raw_clock::utc_now() + static_cast<filetime>(c->utc_shift.load());
    }
    return raw_clock::utc_now();
}

system_time system_time_now_record() { return filetime_to_system_time(system_time_now()); }

filetime filetime_to_local(filetime utc) {
    if (test_clock* c = g_test_clock.load())
        return utc + static_cast<filetime>(std::int64_t{c->local_offset_minutes.load()} * 600'000'000);
    return utc + static_cast<filetime>(raw_clock::local_shift_at(utc));
}

system_time local_time_now() { return filetime_to_system_time(filetime_to_local(system_time_now())); }

std::uint32_t tick_count() {
    if (test_clock* c = g_test_clock.load()) {
        if (c->tick_frozen.load()) return c->frozen_tick.load();
        return raw_clock::ticks() + c->tick_shift.load();
    }
    return raw_clock::ticks();
}

std::uint64_t tick_count64() {
    if (test_clock* c = g_test_clock.load()) {
        if (c->tick_frozen.load()) return c->frozen_tick.load();
        return raw_clock::ticks64() + c->tick_shift.load();
    }
    return raw_clock::ticks64();
}

void sleep_ms(std::uint32_t ms) {
    test_clock* c = g_test_clock.load();
    if (c && c->instant_sleep.load()) {
        c->frozen_tick.fetch_add(ms);
        if (c->frozen_utc.load()) c->frozen_utc.fetch_add(filetime{ms} * 10'000);
        raw_clock::sleep(0);
        return;
    }
    raw_clock::sleep(ms);
}

bool set_system_time(const system_time& utc) {
    if (test_clock* c = g_test_clock.load()) {
        filetime target = 0;
        if (c->refuse_sets.load() || !system_time_to_filetime(utc, target)) return false;
        std::lock_guard<std::mutex> lock(c->sets_mutex);
        c->sets.push_back(utc);
        // The clock now reads the time that was set, as the real one would.
        if (c->frozen_utc.load())
            c->frozen_utc = target;
        else
            c->utc_shift = static_cast<std::int64_t>(target - raw_clock::utc_now());
        return true;
    }
    return raw_clock::set_utc(utc);
}

}  // namespace orvane
