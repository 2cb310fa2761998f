#include "app/startup.h"
#include <cstdio>
#include <cstdlib>
#include "engine/log.h"
#include "engine/query.h"
#include "engine/resync.h"
#include "engine/worker.h"
#include "server/servers.h"
#include "sys/threads.h"
#include "engine/time_zone_check.h"

namespace orvane {
namespace {

void run_worker(chronobel_state& state) {
    state.worker_running = 1;
    worker_loop(state);
    state.worker_running = 0;
}

}  // namespace

int start_worker(chronobel_state& state) {
    state.engine.phase = 0;
    state.engine.failed = 0;
    status_step = 0;
    if (!state.worker_event) state.worker_event = create_manual_event();
    // The worker waits on its event; without it, or without the worker,
    // nothing would ever stop the servers.
    if (!state.worker_event) return worker_not_started;
    set_event(state.worker_event);
    if (!start_program_thread(state, program_thread::worker, run_worker)) return worker_not_started;
    if (state.settings.on_program_start != 0) {
        const bool sync_then_exit = state.settings.on_program_start == 2;
        state.correct_requested = sync_then_exit ? 1 : 0;
        // The service syncs, but keeps running until it is stopped.
        exit_after_operation(sync_then_exit && !running_as_service);
        start_operation(state);
    }
    if (state.settings.time_server_enabled) start_servers(state);
    check_time_zone(state);
    // The network came back: put the clock right once it has settled.
    state.network_watch.start([](void* s) { ask_resync(*static_cast<chronobel_state*>(s)); }, &state);
    return worker_started;
}

void end_program_threads(chronobel_state& state, std::uint32_t limit_ms) {
    // Nothing new starts (a failover would otherwise start a query behind
    // the abort); then each thread is told to end.
    stop_starting_program_threads(state);
    state.network_watch.stop();
    state.stop_requested = 1;
    set_event(state.worker_event);
    close_server_sockets(state);
    if (state.engine.busy) abort_query(state.engine);
    const std::vector<const char*> still_running = join_program_threads(state, limit_ms);
    if (still_running.empty()) return;
    const settings_record& s = state.settings;
    if (s.log_errors && !s.log_disabled)
        for (const char* name : still_running) write_log_line(state, "Thread did not end in time: ", name);
    std::fflush(nullptr);
    std::_Exit(threads_overran_exit_code);
}

}  // namespace orvane
