#include <windows.h>
#include "platform/service_win32.h"
#include "platform/service_control.h"

namespace orvane {
namespace {

static_assert(service_stopped == SERVICE_STOPPED && service_start_pending == SERVICE_START_PENDING &&
              service_stop_pending == SERVICE_STOP_PENDING && service_running == SERVICE_RUNNING);
static_assert(service_control_stop == SERVICE_CONTROL_STOP &&
              service_control_interrogate == SERVICE_CONTROL_INTERROGATE &&
              service_control_paramchange == SERVICE_CONTROL_PARAMCHANGE &&
              service_control_powerevent == SERVICE_CONTROL_POWEREVENT && power_event_resumed == PBT_APMRESUMEAUTOMATIC);
static_assert(service_own_process == SERVICE_WIN32_OWN_PROCESS && service_accepts_stop == SERVICE_ACCEPT_STOP &&
              service_accepts_paramchange == SERVICE_ACCEPT_PARAMCHANGE &&
              service_accepts_powerevent == SERVICE_ACCEPT_POWEREVENT &&
              service_specific_error == ERROR_SERVICE_SPECIFIC_ERROR);

SERVICE_STATUS_HANDLE status_handle = nullptr;
service_worker_starter worker_starter = nullptr;

void report_to_manager(const service_status_record& status) {
    SERVICE_STATUS raw{status.service_type,
                       status.current_state,
                       status.controls_accepted,
                       status.win32_exit_code,
                       status.service_specific_exit_code,
                       status.check_point,
                       status.wait_hint};
    SetServiceStatus(status_handle, &raw);
}

DWORD WINAPI service_control_handler(DWORD control, DWORD event_type, LPVOID, LPVOID) {
    handle_service_control(*g_state, control, event_type);
    return NO_ERROR;
}

void WINAPI service_main(DWORD, LPWSTR*) {
    // Fails when the process was not started by the service manager.
    status_handle = RegisterServiceCtrlHandlerExW(service_name, service_control_handler, nullptr);
    if (!status_handle) return;
    run_service(*g_state, report_to_manager, worker_starter);
}

}  // namespace

void run_service_dispatcher(service_worker_starter start) {
    worker_starter = start;
    SERVICE_TABLE_ENTRYW services[] = {
        {const_cast<wchar_t*>(service_name), service_main},
        {nullptr, nullptr},
    };
    StartServiceCtrlDispatcherW(services);
}

}  // namespace orvane
