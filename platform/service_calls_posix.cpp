// There is no Windows service manager here, and no service of this machine
// may be stopped or started by the program: every call reports the manager
// as unavailable and does nothing.
#include "platform/service_calls.h"

namespace orvane {

int query_service(const std::wstring&, service_status_record&, std::uint8_t&, std::uint8_t&) {
    return service_manager_unavailable;
}

int query_service_command_line(const std::wstring&, std::wstring& command_line) {
    command_line.clear();
    return service_manager_unavailable;
}

int ask_service_to_reload(const std::wstring&) { return service_manager_unavailable; }

int start_service(const std::wstring&) { return service_manager_unavailable; }

int stop_service(const std::wstring&, service_status_record&) { return service_manager_unavailable; }

int install_service(const std::wstring&, const std::wstring&, const std::wstring&, const std::wstring&) {
    return service_manager_unavailable;
}

int remove_service(const std::wstring&, std::uint8_t, bool* deleted) {
    if (deleted) *deleted = false;
    return service_manager_unavailable;
}

int register_event_source(const std::wstring&, const std::wstring&) { return service_manager_unavailable; }

int remove_event_source(const std::wstring&) { return service_manager_unavailable; }

}  // namespace orvane
