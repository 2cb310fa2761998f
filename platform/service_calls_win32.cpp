#include <windows.h>
#include <vector>
#include "platform/service_calls.h"
#include "platform/registry_win32.h"
#include "sys/clock.h"
#include "sys/win32/owned_handle.h"

namespace orvane {
namespace {

static_assert(sizeof(SERVICE_STATUS) == sizeof(service_status_record));

// The access right to send the parameter-change control (missing from
// MinGW's headers).
constexpr DWORD service_paramchange_right = 0x0040;

void copy_status(const SERVICE_STATUS& from, service_status_record& to) {
    to.service_type = from.dwServiceType;
    to.current_state = from.dwCurrentState;
    to.controls_accepted = from.dwControlsAccepted;
    to.win32_exit_code = from.dwWin32ExitCode;
    to.service_specific_exit_code = from.dwServiceSpecificExitCode;
    to.check_point = from.dwCheckPoint;
    to.wait_hint = from.dwWaitHint;
}

// Where the Application log keeps its sources, one key each.
constexpr wchar_t event_sources_key[] = L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\";
// Information, warning and error entries.
constexpr DWORD event_types_supported = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
static_assert(event_types_supported == 7);

int call_result(int registry) {
    if (registry == registry_done) return service_call_done;
    return registry == registry_no_rights ? service_manager_unavailable : service_call_failed;
}

// The service manager of this machine with full access (empty when it
// cannot be opened: no administrative rights). Only looking needs no rights.
owned_service open_manager(DWORD rights = SC_MANAGER_ALL_ACCESS) {
    return owned_service(OpenSCManagerW(nullptr, nullptr, rights));
}

// One service, opened with `rights` (empty when it cannot be).
owned_service open_service(const owned_service& manager, const std::wstring& name, DWORD rights = SERVICE_ALL_ACCESS) {
    return owned_service(OpenServiceW(manager.get(), name.c_str(), rights));
}

}  // namespace

int query_service(const std::wstring& name, service_status_record& status, std::uint8_t& installed,
                  std::uint8_t& running) {
    // A standard user may look, so that a save can tell it reached no service.
    const owned_service manager = open_manager(SC_MANAGER_CONNECT);
    if (!manager) return service_manager_unavailable;
    const owned_service service = open_service(manager, name, SERVICE_QUERY_STATUS);
    installed = service || GetLastError() == ERROR_ACCESS_DENIED ? 1 : 0;
    running = 0;
    if (!service) return service_call_done;
    SERVICE_STATUS raw{};
    if (QueryServiceStatus(service.get(), &raw)) {
        copy_status(raw, status);
        running = raw.dwCurrentState == SERVICE_RUNNING ? 1 : 0;
    }
    return service_call_done;
}

int query_service_command_line(const std::wstring& name, std::wstring& command_line) {
    command_line.clear();
    const owned_service manager = open_manager(SC_MANAGER_CONNECT);
    if (!manager) return service_manager_unavailable;
    const owned_service service = open_service(manager, name, SERVICE_QUERY_CONFIG);
    if (!service) return service_call_done;
    DWORD needed = 0;
    QueryServiceConfigW(service.get(), nullptr, 0, &needed);
    std::vector<unsigned char> bytes(needed);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(bytes.data());
    if (needed && QueryServiceConfigW(service.get(), config, needed, &needed) && config->lpBinaryPathName)
        command_line = config->lpBinaryPathName;
    return service_call_done;
}

int ask_service_to_reload(const std::wstring& name) {
    const owned_service manager = open_manager(SC_MANAGER_CONNECT);
    if (!manager) return service_manager_unavailable;
    if (const owned_service service = open_service(manager, name, service_paramchange_right)) {
        SERVICE_STATUS raw{};
        ControlService(service.get(), SERVICE_CONTROL_PARAMCHANGE, &raw);
    }
    return service_call_done;
}

int start_service(const std::wstring& name) {
    const owned_service manager = open_manager();
    if (!manager) return service_manager_unavailable;
    if (const owned_service service = open_service(manager, name)) StartServiceW(service.get(), 0, nullptr);
    return service_call_done;
}

int stop_service(const std::wstring& name, service_status_record& status) {
    const owned_service manager = open_manager();
    if (!manager) return service_manager_unavailable;
    const owned_service service = open_service(manager, name);
    if (!service) return service_call_done;
    SERVICE_STATUS raw{};
    ControlService(service.get(), SERVICE_CONTROL_STOP, &raw);
    copy_status(raw, status);
    return service_call_done;
}

int install_service(const std::wstring& name, const std::wstring& display_name, const std::wstring& binary_path,
                    const std::wstring& description) {
    const owned_service manager = open_manager();
    if (!manager) return service_manager_unavailable;
    const owned_service service(CreateServiceW(manager.get(), name.c_str(), display_name.c_str(), SERVICE_ALL_ACCESS,
                                               SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
                                               binary_path.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
    if (!service) return service_call_done;  // it exists already, or cannot be made
    std::wstring text = description;  // the call takes a writable string
    SERVICE_DESCRIPTIONW described{text.data()};
    ChangeServiceConfig2W(service.get(), SERVICE_CONFIG_DESCRIPTION, &described);
    // Older systems (and Wine) refuse the delayed start; the service then
    // starts with the others, which is just as good.
    SERVICE_DELAYED_AUTO_START_INFO delayed{TRUE};
    ChangeServiceConfig2W(service.get(), SERVICE_CONFIG_DELAYED_AUTO_START_INFO, &delayed);
    return service_call_done;
}

int remove_service(const std::wstring& name, std::uint8_t running, bool* deleted) {
    if (deleted) *deleted = false;
    if (running) {
        service_status_record status;
        if (stop_service(name, status) == service_manager_unavailable) return service_manager_unavailable;
        sleep_ms(1000);
    }
    const owned_service manager = open_manager();
    if (!manager) return service_manager_unavailable;
    const owned_service service = open_service(manager, name);
    if (!service) return service_call_done;
    const bool taken = DeleteService(service.get()) || GetLastError() == ERROR_SERVICE_MARKED_FOR_DELETE;
    if (deleted) *deleted = taken;
    return service_call_done;
}

int register_event_source(const std::wstring& name, const std::wstring& message_file) {
    const std::wstring key = event_sources_key + name;
    if (const int written = write_registry_string(HKEY_LOCAL_MACHINE, key, L"EventMessageFile", message_file, REG_EXPAND_SZ);
        written != registry_done)
        return call_result(written);
    return call_result(write_registry_dword(HKEY_LOCAL_MACHINE, key, L"TypesSupported", event_types_supported));
}

int remove_event_source(const std::wstring& name) {
    return call_result(delete_registry_key(HKEY_LOCAL_MACHINE, event_sources_key + name));
}

}  // namespace orvane
