#include "engine/asked_operation.h"
#include "engine/worker.h"
#include "sys/threads.h"

namespace orvane {

bool ask_operation(chronobel_state& state, asked_operation operation) {
    asked_operation none = asked_operation::none;
    if (!state.asked.asked.compare_exchange_strong(none, operation)) return false;
    set_event(state.worker_event);
    return true;
}

void start_asked_operation(chronobel_state& state) {
    service_request& r = state.asked;
    if (state.engine.in_progress || r.asked.load() == asked_operation::none) return;
    const asked_operation operation = r.asked.exchange(asked_operation::none);
    keep_result_text(state, "");
    state.correct_requested = operation == asked_operation::correct ? 1 : 0;
    start_operation(state);
    if (state.engine.in_progress) {
        r.running = true;
        return;
    }
    r.succeeded = 0;
    ++r.ended;
}

void note_asked_operation_end(chronobel_state& state, bool succeeded) {
    service_request& r = state.asked;
    if (!r.running) return;
    r.running = false;
    r.succeeded = succeeded ? 1 : 0;
    ++r.ended;
}

void keep_result_text(chronobel_state& state, std::string_view text) {
    std::lock_guard<std::mutex> lock(state.asked.text_mutex);
    state.asked.result_text.assign(text);
}

std::string kept_result_text(chronobel_state& state) {
    std::lock_guard<std::mutex> lock(state.asked.text_mutex);
    return state.asked.result_text;
}

}  // namespace orvane
