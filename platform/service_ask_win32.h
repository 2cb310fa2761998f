// The desktop program's side of the service's pipe: without the right to
// set the clock, it asks the running service to correct (or check) it.
#pragma once
#include <atomic>
#include <cstdint>
#include "core/state.h"
#include "platform/service_pipe.h"

namespace orvane {

// Whether the service "Chronobel" runs, and so can correct the clock for a
// user without the right to.
bool service_takes_requests();
// Asks the service for `operation` and waits for its answer, within limits
// and, when `stop` is given, until it is set; pipe_answer_no_result when the
// service cannot be reached or does not answer.
pipe_answer ask_service(asked_operation operation, const std::atomic<std::uint8_t>* stop = nullptr);
// Asks on a thread of its own; the answer's text goes to the status line
// as if the program had done the work. One request at a time.
void ask_service_in_background(chronobel_state& state, asked_operation operation);

}  // namespace orvane
