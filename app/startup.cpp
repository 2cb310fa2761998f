#include "app/startup.h"
#include "engine/worker.h"
#include "server/servers.h"
#include "sys/threads.h"
#include "ui/time_zone_check.h"

namespace orvane {

void worker_thread_entry(void* parameter) {
    std::shared_ptr<chronobel_state> state = take_state(parameter);
    state->worker_running = 1;
    worker_loop(*state);
    state->worker_running = 0;
}

int start_worker(chronobel_state& state, std::shared_ptr<chronobel_state>* owner) {
    state.engine.phase = 0;
    state.engine.failed = 0;
    status_step = 0;
    if (!state.worker_event) state.worker_event = create_manual_event();
    // The worker waits on its event; without it, or without the worker,
    // nothing would ever stop the servers.
    if (!state.worker_event) return worker_not_started;
    set_event(state.worker_event);
    const thread_handle worker = start_thread(worker_thread_entry, owner);
    if (!worker) return worker_not_started;
    close_thread_handle(worker);
    if (state.settings.on_program_start != 0) {
        const bool sync_then_exit = state.settings.on_program_start == 2;
        state.correct_requested = sync_then_exit ? 1 : 0;
        // The service syncs, but keeps running until it is stopped.
        exit_after_operation(sync_then_exit && !running_as_service);
        start_operation(state);
    }
    if (state.settings.time_server_enabled) start_servers(state, owner);
    check_time_zone(state);
    return worker_started;
}

}  // namespace orvane
