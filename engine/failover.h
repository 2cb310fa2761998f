// What happens after a query fails: the message, the log entry and, while an
// automatic operation runs on the list, the next server or protocol, once
// round the list at most (failover_plan.h). A time-out is one attempt's
// failure like any other; only the user's Abort ends the operation at once.
#pragma once
#include "core/state.h"
#include "engine/failover_plan.h"

namespace orvane {

// Shows "Unable to sync from" and the server, and logs the failure when the
// log switches ask for it. After a time-out the status line keeps "Time out
// on", which says more. Unless the user aborted, the text is held for reading.
void report_failed_query(chronobel_state& state, bool timed_out = false);
// Begins an operation's round: from the current list position, now.
void begin_failover_round(query_engine& engine);
// The worker's handling of a query whose `failed` is set. Returns true when
// a new query was started (the operation goes on without passing through
// idle), false when the operation ends here and the caller ends it
// (end_operation).
bool handle_failed_query(chronobel_state& state, bool timed_out = false);
// The failover step: the other protocol on the same server (Auto), else the
// next server of the list (failover_plan.h). 0 when a new query was started.
int retry_next_server(chronobel_state& state);
// Where the running operation stands: the engine's protocol, turn and list
// position, the list's size read afresh, the time used; a single address (no
// list in use, or a host given for this run) is a list of one.
failover_position failover_position_now(chronobel_state& state, bool single_address);
// Places list entry `server_index` + 1 in server_name, wrapping to the
// first entry past the end of the list. Returns the list's result code.
int select_current_server(chronobel_state& state);

}  // namespace orvane
