#include "platform/event_log.h"
#include <atomic>
#include <cinttypes>
#include <cstdio>

namespace orvane {
namespace {

std::atomic<event_sink> installed_sink{nullptr};

constexpr std::uint64_t units_per_second = 10'000'000;
// One decimal digit of the five shown is this many 100 ns units.
constexpr std::uint64_t units_per_digit = 100;

}  // namespace

event_kind event_kind_of(event_message id) {
    switch (id) {
        case event_message::auto_failed:
        case event_message::autocheck_found_offset:
        case event_message::service_notice:
            return event_kind::warning;
        case event_message::auto_failed_three_times:
        case event_message::service_folder_refused:
            return event_kind::error;
        default:
            return event_kind::information;
    }
}

void report_event(event_message id, std::vector<std::string> strings) {
    const event_record entry{event_kind_of(id), id, std::move(strings)};
    if (const event_sink sink = installed_sink.load())
        sink(entry);
    else
        write_system_event(entry);
}

event_sink set_event_sink(event_sink sink) { return installed_sink.exchange(sink); }

std::string event_seconds_text(std::int64_t units) {
    const std::uint64_t magnitude = units < 0 ? 0 - static_cast<std::uint64_t>(units) : static_cast<std::uint64_t>(units);
    const std::uint64_t digits = (magnitude + units_per_digit / 2) / units_per_digit;
    constexpr std::uint64_t digits_per_second = units_per_second / units_per_digit;
    char text[48];
    std::snprintf(text, sizeof text, "%s%" PRIu64 ".%05" PRIu64, units < 0 && digits != 0 ? "-" : "",
                  digits / digits_per_second, digits % digits_per_second);
    return text;
}

}  // namespace orvane
