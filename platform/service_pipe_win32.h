// The service's side of its pipe \\.\pipe\Chronobel on Windows: it takes
// a correction or check from a desktop program without the right to set the
// clock, hands it to the worker and answers with the operation's text.
#pragma once
#include "core/state.h"

namespace orvane {

// Serves the pipe on a thread of its own (program_thread::pipe) until the
// stop; false when the thread could not start.
bool start_service_pipe(chronobel_state& state);

}  // namespace orvane
