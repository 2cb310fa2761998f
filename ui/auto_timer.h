// The arithmetic of the AutoSync and AutoCheck timer of the main window: which
// automatic operation falls due next, when, and what a firing of the timer
// means. Periods reach 99 days, so everything is in 64 bits, and a wait
// longer than one timer can take is armed in steps.
#pragma once
#include <cstdint>
#include "core/state.h"
#include "engine/countdown.h"

namespace orvane {

// The longest wait one window timer takes (USER_TIMER_MAXIMUM, about 24.8
// days).
constexpr std::int64_t longest_timer_ms = 0x7FFF'FFFF;
// An automatic operation that falls due while another runs waits this long.
constexpr std::uint32_t auto_retry_ms = 30'000;
// A due time closer than this restarts both periods.
constexpr std::int64_t auto_restart_below_ms = 60'000;

// Chooses the automatic operation that falls due first (auto_due 1 AutoCheck,
// 2 AutoSync; AutoSync on a tie; a failed one's pending retry when sooner)
// and sets due_period_ms and due_start_tick to it. Returns the milliseconds from `now` until it is due (negative when
// overdue). With neither enabled nothing changes.
std::int64_t compute_next_due(chronobel_state& state, std::uint64_t now);
// Arming: start ticks never set start now, and a due time less than a minute
// away restarts both periods (not a retry's, which keeps its own time). Returns the wait until the chosen operation,
// or -1 when neither is enabled (then no timer is armed).
std::int64_t next_auto_wait(chronobel_state& state, std::uint64_t now);
// One timer's share of a wait: the wait itself, at most longest_timer_ms.
std::uint32_t timer_step_ms(std::int64_t wait_ms);

enum class auto_timer_action {
    wait_more,        // a step of a long wait ended early: arm the rest
    retry_later,      // an operation runs: try again in 30 s (due_* say so)
    start_operation,  // start it now (correct_requested set for AutoSync)
};
// The timer fired at `now`.
auto_timer_action on_auto_timer(chronobel_state& state, std::uint64_t now, bool operation_running);

}  // namespace orvane
