#include "support/worker_fixture.h"
#include "sys/threads.h"

namespace orvane::testing {

void operation_fixture::set_event_if_any() {
    if (state->worker_event) set_event(state->worker_event);
}

}  // namespace orvane::testing
