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

void start_worker(chronobel_state& state, std::shared_ptr<chronobel_state>* owner) {
    state.engine.phase = 0;
    state.engine.failed = 0;
    status_step = 0;
    if (!state.worker_event) state.worker_event = create_manual_event();
    set_event(state.worker_event);
    close_thread_handle(start_thread(worker_thread_entry, owner));
    if (state.settings.on_program_start != 0) {
        const bool sync_then_exit = state.settings.on_program_start == 2;
        state.correct_requested = sync_then_exit ? 1 : 0;
        exit_after_operation(sync_then_exit);
        start_operation(state);
    }
    if (state.settings.time_server_enabled) start_servers(state, owner);
    check_time_zone(state);
}

}  // namespace orvane
