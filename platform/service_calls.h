// Querying, installing, starting, stopping and removing a service of this
// machine by name, through the service control manager, and registering an
// event log source. The SNTP server uses
// them to move the Windows Time service off UDP port 123; the service buttons
// and the switches /i and /z use them for the program's own service. On
// POSIX they touch nothing and report that there is no service manager.
#pragma once
#include <cstdint>
#include <string>

namespace orvane {

// Result codes of the calls: 0 also when the service itself cannot be
// opened or the action fails; 11 when the service manager cannot be opened
// (no administrative rights, or no such manager on this system); 1 when an
// event source's registration fails otherwise.
enum service_call_result : int { service_call_done = 0, service_call_failed = 1, service_manager_unavailable = 11 };

// The SERVICE_STATUS record, field for field.
struct service_status_record {
    std::uint32_t service_type = 0;
    std::uint32_t current_state = 0;
    std::uint32_t controls_accepted = 0;
    std::uint32_t win32_exit_code = 0;
    std::uint32_t service_specific_exit_code = 0;
    std::uint32_t check_point = 0;
    std::uint32_t wait_hint = 0;
};
static_assert(sizeof(service_status_record) == 28);

// installed := whether the service exists; running := whether its state is
// "running"; its status goes into `status`. Both bytes are left as they were
// when the manager cannot be opened.
int query_service(const std::wstring& name, service_status_record& status, std::uint8_t& installed,
                  std::uint8_t& running);
// The command line the service is registered with (empty when there is no
// such service).
int query_service_command_line(const std::wstring& name, std::wstring& command_line);
// Asks a running service to read its settings again (the parameter-change
// control); does not wait for it.
int ask_service_to_reload(const std::wstring& name);
// Asks the service to start; does not wait for it.
int start_service(const std::wstring& name);
// Sends the service the stop control, its answer into `status`; does not
// wait for it to stop.
int stop_service(const std::wstring& name, service_status_record& status);
// Creates an own-process service that starts automatically (delayed) as
// LocalSystem, with normal error control, then sets its description. An
// existing service of that name is left as it is.
int install_service(const std::wstring& name, const std::wstring& display_name, const std::wstring& binary_path,
                    const std::wstring& description);
// Deletes the service; a running one is sent the stop control first and
// given one second. `deleted`, when given, tells whether the service manager
// took the deletion (a service still stopping goes once it has stopped).
int remove_service(const std::wstring& name, std::uint8_t running, bool* deleted = nullptr);
// Registers `name` as a source of the Application event log whose messages
// are in `message_file` (a program's full path), for all kinds of entry;
// done also when it was registered already (its file is then replaced).
int register_event_source(const std::wstring& name, const std::wstring& message_file);
// Removes that registration; done when it is gone or was never there.
int remove_event_source(const std::wstring& name);

}  // namespace orvane
