#include <signal.h>
#include "app/startup.h"
#include "app/foreground_service.h"
#include "core/status_hold.h"
#include "sys/threads.h"

namespace orvane {

int run_foreground_service(chronobel_state& state) {
    // The stop signals are taken by this thread alone, in sigwait; every
    // thread started from here on inherits the blocked mask.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGTERM);
    sigaddset(&stop_signals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

    state.status_hold_until = status_hold_forever;
    running_as_service = 1;
    window_mode = window_service;
    state.due_period_ms = 0;
    start_worker(state);

    int received = 0;
    sigwait(&stop_signals, &received);
    // The worker, the servers and a running query are stopped and joined
    // within their time limit.
    end_program_threads(state);
    return 0;
}

}  // namespace orvane
