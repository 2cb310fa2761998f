// Preparing, starting, aborting and finishing a query; run_query itself is
// in query_run.cpp.
#include "engine/query.h"
#include <memory>
#include <mutex>
#include "core/state.h"
#include "engine/query_socket.h"
#include "sys/clock.h"
#include "sys/sockets.h"
#include "sys/threads.h"

namespace orvane {
namespace {

constexpr std::uint32_t abort_poll_ms = 100;

void query_thread_main(void* parameter) {
    const std::shared_ptr<chronobel_state> owner = take_state(parameter);
    if (owner) run_query(*owner);
}

}  // namespace

int prepare_query(query_engine& e) {
    std::lock_guard<std::mutex> lock(e.query_mutex);
    if (e.busy.load()) return query_not_prepared;
    e.busy.store(1);
    e.in_progress.store(1);
    e.phase.store(phase_prepared);
    e.failed.store(0);
    e.start_index = e.server_index;
    e.offset = 0;
    e.server_seconds = 0;
    e.server_time = 0;
    e.reply_tick = 0;
    e.response_ms = 0;
    e.force_time_protocol.store(0);
    e.result_code.store(query_ok);
    return query_ok;
}

void finish_query(query_engine& e) {
    std::lock_guard<std::mutex> lock(e.query_mutex);
    if (e.busy.load()) return;
    e.in_progress.store(0);
    e.phase.store(phase_prepared);
    e.failed.store(0);
    e.abort_requested.store(0);
}

int map_socket_error() {
    switch (last_socket_error()) {
    case socket_error_not_connected: return query_not_connected;
    case socket_error_timed_out: return query_timed_out;
    case socket_error_no_protocol_option: return query_no_protocol_option;
    default: return query_socket_error;
    }
}

void end_query_socket_calls(query_engine& e) {
    std::lock_guard<std::mutex> lock(e.query_mutex);
    end_blocked_calls(e.query_socket.load());
}

void close_query_socket(query_engine& e) {
    socket_handle socket;
    {
        std::lock_guard<std::mutex> lock(e.query_mutex);
        socket = e.query_socket.exchange(no_socket);
    }
    close_socket(socket);
}

bool start_query_thread(chronobel_state& state) {
    if (query_thread) close_thread_handle(query_thread);
    query_thread = start_thread(query_thread_main, &g_thread_state);
    if (query_thread) return true;
    query_engine& e = state.engine;
    {
        std::lock_guard<std::mutex> lock(e.query_mutex);
        e.busy.store(0);
        e.failed.store(1);
    }
    set_event(state.worker_event);
    return false;
}

int abort_query(query_engine& e) {
    e.abort_requested.store(1);
    // Ended again at every step: a query that was between its last look at
    // abort_requested and a blocking call when the first one struck is
    // caught by the next.
    for (;;) {
        end_query_socket_calls(e);
        if (!e.busy.load()) return 0;
        sleep_ms(abort_poll_ms);
    }
}

}  // namespace orvane
