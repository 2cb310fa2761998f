// The system's event log (Windows): the entries an administrator watches,
// under the source "Chronobel". Each entry is a message of the program's
// message table (resources/event_messages.mc) and its insertion strings;
// the Event Viewer composes the sentence. Wine's log keeps nothing and the
// native program writes nothing, so tests take the entries through a sink.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace orvane {

// The source the entries are written under, registered by /i and the
// installers (its message file is the installed program).
inline constexpr wchar_t event_source_name[] = L"Chronobel";

enum class event_kind { information, warning, error };

// The message ids, as the message table numbers them.
enum class event_message : std::uint32_t {
    service_started = 1,
    service_stopped = 2,
    auto_failed = 3,           // %1 the server, %2 the failure's text
    clock_corrected = 4,       // %1 the server, %2 the difference in seconds
    auto_failed_three_times = 5,  // %1 the last server asked
    auto_works_again = 6,      // %1 the server that answered
    autocheck_found_offset = 7,   // %1 the server, %2 the difference in seconds
    service_folder_refused = 8,   // %1 the refusal
    service_notice = 9,        // %1 the notice
};

// The kind each message is written with.
event_kind event_kind_of(event_message id);

// One entry as it goes to the log.
struct event_record {
    event_kind kind;
    event_message id;
    std::vector<std::string> strings;
};

// Writes one entry under the source "Chronobel" (to the sink when one is set).
void report_event(event_message id, std::vector<std::string> strings = {});

// Test seam: every entry goes to `sink` instead of the system's log (null:
// the system's log again). Returns the sink it replaces.
using event_sink = void (*)(const event_record& entry);
event_sink set_event_sink(event_sink sink);

// The difference in 100 ns units as the entries show it: seconds with five
// decimals, rounded, a sign only when negative ("2.50000", "-0.00030").
std::string event_seconds_text(std::int64_t units);

// The system side of report_event (event_log_win32.cpp, event_log_posix.cpp).
void write_system_event(const event_record& entry);

}  // namespace orvane
