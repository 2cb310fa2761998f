// The native program has no event log: its service (/x) prints its status
// and keeps its own log file, and its tests must not write to this machine's
// system log.
#include "platform/event_log.h"

namespace orvane {

void write_system_event(const event_record&) {}

}  // namespace orvane
