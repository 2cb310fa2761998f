#include "sys/clock.h"
#include <atomic>
#include "sys/clock_raw.h"

namespace orvane {
namespace {
std::atomic<clock_source*> g_source{nullptr};
}

void install_clock_source(clock_source* source) { g_source.store(source); }

filetime system_time_now() {
    if (clock_source* c = g_source.load()) return c->utc_now();
    return raw_clock::utc_now();
}

system_time system_time_now_record() { return filetime_to_system_time(system_time_now()); }

filetime filetime_to_local(filetime utc) {
    clock_source* c = g_source.load();
    return utc + static_cast<filetime>(c ? c->local_shift_at(utc) : raw_clock::local_shift_at(utc));
}

system_time local_time_now() { return filetime_to_system_time(filetime_to_local(system_time_now())); }

std::uint32_t tick_count() {
    if (clock_source* c = g_source.load()) return c->ticks();
    return raw_clock::ticks();
}

std::uint64_t tick_count64() {
    if (clock_source* c = g_source.load()) return c->ticks64();
    return raw_clock::ticks64();
}

void sleep_ms(std::uint32_t ms) {
    if (clock_source* c = g_source.load()) return c->sleep(ms);
    raw_clock::sleep(ms);
}

bool set_system_time(const system_time& utc) {
    if (clock_source* c = g_source.load()) return c->set_utc(utc);
    return raw_clock::set_utc(utc);
}

}  // namespace orvane
