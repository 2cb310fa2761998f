#include <signal.h>
#include <time.h>
#include "app/startup.h"
#include "app/foreground_service.h"
#include "core/status_hold.h"
#include "engine/resync.h"
#include "sys/suspend.h"
#include "sys/threads.h"

namespace orvane {
namespace {

// How often the stop wait looks whether the machine slept meanwhile.
constexpr time_t resume_look_interval_s = 1;

}  // namespace

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

    // Waits for a stop signal; between, a resume from sleep asks for a resync.
    std::int64_t slept = time_suspended_ms();
    const timespec look_interval{resume_look_interval_s, 0};
    while (sigtimedwait(&stop_signals, nullptr, &look_interval) < 0) {
        const std::int64_t slept_now = time_suspended_ms();
        if (resumed_between(slept, slept_now)) ask_resync(state);
        slept = slept_now;
    }
    // The worker, the servers and a running query are stopped and joined
    // within their time limit.
    end_program_threads(state);
    return 0;
}

}  // namespace orvane
