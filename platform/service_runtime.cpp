#include "platform/service_runtime.h"
#include <atomic>
#include <mutex>
#include "core/status_hold.h"
#include "engine/resync.h"
#include "engine/service_autosync.h"
#include "platform/event_log.h"
#include "platform/service_reload.h"
#include "sys/clock.h"
#include "sys/threads.h"

namespace orvane {
namespace {

// The process's one status record. The service main and the control handler
// (on another thread) each change it and report it whole, one at a time, so
// that no report mixes the two and a late "stop pending" never follows
// "stopped".
std::mutex status_mutex;
service_status_record service_status;
std::atomic<service_reporter> reporter{nullptr};

template <typename Change>
void change_and_report(Change change) {
    std::lock_guard<std::mutex> lock(status_mutex);
    change(service_status);
    if (const service_reporter report = reporter.load()) report(service_status);
}

void report_stopped(std::uint32_t specific_exit_code) {
    change_and_report([&](service_status_record& s) {
        s.current_state = service_stopped;
        s.controls_accepted = 0;
        s.check_point = 0;
        s.wait_hint = 0;
        s.win32_exit_code = specific_exit_code ? service_specific_error : 0;
        s.service_specific_exit_code = specific_exit_code;
    });
}

// Waits for the stop control. The limit lets the service also end when its
// work asked for the end itself.
void wait_for_stop(chronobel_state& state) {
    while (!wait_event(state.service_stop_event, 1000) && !state.stop_requested) {
    }
}

}  // namespace

std::uint32_t run_service(chronobel_state& state, service_reporter report, service_worker_starter start) {
    reporter = report;
    change_and_report([](service_status_record& s) {
        s = service_status_record{};
        s.service_type = service_own_process;
        s.current_state = service_start_pending;
        s.wait_hint = 3000;
    });
    state.status_hold_until = status_hold_forever;
    running_as_service = 1;
    window_mode = window_service;
    state.due_period_ms = 0;
    if (!state.service_stop_event) state.service_stop_event = create_manual_event();
    set_service_reloader(reload_service_settings);
    // A folder that others may change is never read.
    if (!state.service_refusal.empty()) {
        report_stopped(service_folder_refused);
        return service_specific_error;
    }
    // Without the stop event or the worker the service cannot do its work:
    // the service manager (and its recovery actions) must see a failure.
    if (!state.service_stop_event || start(state) != 0) {
        report_stopped(service_worker_failed);
        return service_specific_error;
    }
    change_and_report([](service_status_record& s) {
        s.current_state = service_running;
        s.controls_accepted = service_accepts_stop | service_accepts_paramchange | service_accepts_powerevent;
        s.check_point = 0;
        s.wait_hint = 0;
        s.win32_exit_code = 0;
    });
    report_event(event_message::service_started);

    wait_for_stop(state);
    set_event(state.worker_event);  // the worker sees stop_requested at once
    // The worker is given five seconds to end.
    for (std::uint32_t attempt = 0; attempt < 10 && state.worker_running; ++attempt) {
        change_and_report([attempt](service_status_record& s) {
            s.current_state = service_stop_pending;
            s.check_point = attempt;
            s.wait_hint = 1000;
        });
        sleep_ms(500);
    }
    report_event(event_message::service_stopped);
    report_stopped(0);
    return 0;
}

void handle_service_control(chronobel_state& state, std::uint32_t control, std::uint32_t event_type) {
    if (control == service_control_paramchange) {
        // The worker reads them between operations, on its own thread.
        state.reload_requested = 1;
        set_event(state.worker_event);
    }
    // The worker starts it once things have settled, on its own thread.
    if (control == service_control_powerevent && event_type == power_event_resumed) ask_resync(state);
    if (control != service_control_stop) {
        // The interrogation asks for the current state; every other control
        // is answered with it too.
        change_and_report([](service_status_record& s) {
            s.wait_hint = 0;
            s.win32_exit_code = 0;
        });
        return;
    }
    // Reported before the service main is woken, which reports "stopped".
    change_and_report([](service_status_record& s) {
        s.current_state = service_stop_pending;
        s.wait_hint = 0;
        s.win32_exit_code = 0;
    });
    state.stop_requested = 1;
    set_event(state.service_stop_event);
}

}  // namespace orvane
