// The built-in TIME and SNTP servers, which always start and stop together.
#pragma once
#include "core/state.h"

namespace orvane {

// Starts the TIME server thread and the SNTP server thread, each with an
// owner of the state of its own; their handles go to the state's threads.
void start_servers(chronobel_state& state);
// The bodies of the two server threads; each returns when the server is
// switched off, the program ends, or its set-up fails.
void run_time_server(chronobel_state& state);
void run_sntp_server(chronobel_state& state);
// Tests only: called by the SNTP server between the arrival of requests and
// the stamping of their replies, to hold them (null: no pause).
using sntp_reply_pause = void (*)();
void set_sntp_reply_pause(sntp_reply_pause pause);

}  // namespace orvane
