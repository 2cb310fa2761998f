#include <windows.h>
#include "platform/service_calls.h"

namespace orvane {
namespace {

static_assert(sizeof(SERVICE_STATUS) == sizeof(service_status_record));

void copy_status(const SERVICE_STATUS& from, service_status_record& to) {
    to.service_type = from.dwServiceType;
    to.current_state = from.dwCurrentState;
    to.controls_accepted = from.dwControlsAccepted;
    to.win32_exit_code = from.dwWin32ExitCode;
    to.service_specific_exit_code = from.dwServiceSpecificExitCode;
    to.check_point = from.dwCheckPoint;
    to.wait_hint = from.dwWaitHint;
}

// The service manager of this machine with full access, closed on leaving.
struct service_manager {
    SC_HANDLE handle = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    ~service_manager() {
        if (handle) CloseServiceHandle(handle);
    }
    service_manager() = default;
    service_manager(const service_manager&) = delete;
    service_manager& operator=(const service_manager&) = delete;
};

// One service, opened with full access (null when it cannot be).
struct open_service {
    SC_HANDLE handle;
    open_service(const service_manager& manager, const std::wstring& name)
        : handle(OpenServiceW(manager.handle, name.c_str(), SERVICE_ALL_ACCESS)) {}
    ~open_service() {
        if (handle) CloseServiceHandle(handle);
    }
    open_service(const open_service&) = delete;
    open_service& operator=(const open_service&) = delete;
};

}  // namespace

int query_service(const std::wstring& name, service_status_record& status, std::uint8_t& installed,
                  std::uint8_t& running) {
    service_manager manager;
    if (!manager.handle) return service_manager_unavailable;
    open_service service(manager, name);
    installed = service.handle ? 1 : 0;
    running = 0;
    if (!service.handle) return service_call_done;
    SERVICE_STATUS raw{};
    if (QueryServiceStatus(service.handle, &raw)) {
        copy_status(raw, status);
        running = raw.dwCurrentState == SERVICE_RUNNING ? 1 : 0;
    }
    return service_call_done;
}

int start_service(const std::wstring& name) {
    service_manager manager;
    if (!manager.handle) return service_manager_unavailable;
    open_service service(manager, name);
    if (service.handle) StartServiceW(service.handle, 0, nullptr);
    return service_call_done;
}

int stop_service(const std::wstring& name, service_status_record& status) {
    service_manager manager;
    if (!manager.handle) return service_manager_unavailable;
    open_service service(manager, name);
    if (!service.handle) return service_call_done;
    SERVICE_STATUS raw{};
    ControlService(service.handle, SERVICE_CONTROL_STOP, &raw);
    copy_status(raw, status);
    return service_call_done;
}

}  // namespace orvane
