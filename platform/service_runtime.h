// The life of the service, from the first status report to "stopped", apart
// from the service manager's own calls: service_win32.cpp registers the
// control handler and turns each report into SetServiceStatus; tests take
// the reports themselves.
#pragma once
#include <cstdint>
#include "core/state.h"
#include "platform/service_calls.h"

namespace orvane {

// The values of the status record, as the service manager knows them.
enum service_state_value : std::uint32_t {
    service_stopped = 1,
    service_start_pending = 2,
    service_stop_pending = 3,
    service_running = 4,
};
enum service_control_value : std::uint32_t {
    service_control_stop = 1,
    service_control_interrogate = 4,
    service_control_paramchange = 6,  // the settings changed: read them again
    service_control_powerevent = 13,  // its event type says which
};
// The power event of a resume from sleep (PBT_APMRESUMEAUTOMATIC).
constexpr std::uint32_t power_event_resumed = 0x12;
constexpr std::uint32_t service_own_process = 0x10;
constexpr std::uint32_t service_accepts_stop = 1;
constexpr std::uint32_t service_accepts_paramchange = 8;
constexpr std::uint32_t service_accepts_powerevent = 0x40;
// The exit code of a service that could not do its work; the service's own
// code follows in service_specific_exit_code.
constexpr std::uint32_t service_specific_error = 1066;
// That own code: the stop event or the worker could not be made.
constexpr std::uint32_t service_worker_failed = 20;
// ... or the service's folder was refused (state.service_refusal says why).
constexpr std::uint32_t service_folder_refused = 21;

// Starts the worker, the first operation and the servers without a window;
// 0 when the worker runs. The program's entry hands it over, as starting the
// worker belongs to the program, above this layer.
using service_worker_starter = int (*)(chronobel_state& state);
// Sends one status report to the service manager.
using service_reporter = void (*)(const service_status_record& status);

// The service main once its handler is registered: start pending, the
// service mode, the stop event, the worker, running; then the wait for the
// stop, at most 5 s for the worker to end, and "stopped". Returns the exit
// code reported with "stopped": 0 after a stop, service_specific_error when
// the work could not be started.
std::uint32_t run_service(chronobel_state& state, service_reporter report, service_worker_starter start);

// The control handler: a stop reports "stop pending" and wakes the service
// main; a parameter change asks the worker to read the settings again; an
// interrogation reports the current state again; a resume from sleep asks
// for a resynchronisation (`event_type` of the power event).
void handle_service_control(chronobel_state& state, std::uint32_t control, std::uint32_t event_type = 0);

}  // namespace orvane
