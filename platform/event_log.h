// The system's event log (Windows), for what an administrator must see even
// when the program's own log cannot be written (a refused service folder).
#pragma once
#include <string>

namespace orvane {

enum class event_kind { information, warning, error };

// Writes one entry under the source "Chronobel".
void report_event(event_kind kind, const std::string& text);

}  // namespace orvane
