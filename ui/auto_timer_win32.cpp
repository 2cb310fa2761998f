#include "engine/worker.h"
#include "sys/clock.h"
#include "sys/threads.h"
#include "ui/auto_timer.h"
#include "ui/main_window_win32.h"

namespace orvane {

void arm_auto_timer(HWND window, chronobel_state& state) {
    const std::int64_t wait = next_auto_wait(state, tick_count64());
    if (wait < 0) {
        KillTimer(window, auto_timer_id);
        return;
    }
    SetTimer(window, auto_timer_id, timer_step_ms(wait), nullptr);
}

void on_auto_timer_fired(HWND window, chronobel_state& state) {
    KillTimer(window, auto_timer_id);
    const std::uint64_t now = tick_count64();
    switch (on_auto_timer(state, now, state.engine.phase != 0)) {
        case auto_timer_action::wait_more:
            SetTimer(window, auto_timer_id, timer_step_ms(time_until_due(state, now)), nullptr);
            break;
        case auto_timer_action::retry_later:
            SetTimer(window, auto_timer_id, auto_retry_ms, nullptr);
            break;
        case auto_timer_action::start_operation:
            start_operation(state, state.correct_requested ? auto_sync : auto_check);
            arm_auto_timer(window, state);
            break;
    }
    set_event(state.worker_event);
}

}  // namespace orvane
