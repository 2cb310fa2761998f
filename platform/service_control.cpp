#include "platform/service_control.h"
#include "core/paths.h"
#include "platform/event_log.h"
#include "platform/service_calls.h"
#include "sys/files.h"
#include "platform/service_data.h"
#include "platform/service_runtime.h"
#include "sys/clock.h"

namespace orvane {
namespace {

// A service that is still starting after this long has failed to start.
constexpr std::uint32_t start_limit_ms = 30'000;

// Follows the service until it runs; gives up when it has stopped (its start
// failed), is not there, or is still not running after the limit.
bool await_running() {
    const std::uint32_t begin = tick_count();
    for (;;) {
        service_status_record status;
        std::uint8_t installed = 0, running = 0;
        if (query_service(service_name, status, installed, running) != service_call_done || !installed) return false;
        if (running) return true;
        if (status.current_state == service_stopped || tick_count() - begin > start_limit_ms) return false;
        sleep_ms(200);
    }
}

int refuse(int code, std::string* message, const std::string& text) {
    if (message) *message = text;
    return code;
}

}  // namespace

std::wstring service_command_line(const chronobel_state& state) {
    return L"\"" + state.program_path.full + L"\" /x";
}

int may_install_own_service(const chronobel_state& state, std::string* message) {
    // Without its own path the program cannot name itself to the manager.
    if (state.program_dir().empty()) return own_service_failed;
    // The service runs as SYSTEM whatever file is there when it starts.
    const std::wstring folder = state.program_dir().substr(0, state.program_dir().size() - 1);
    for (const std::wstring& path : {folder, state.program_path.full})
        if (changeable_by_standard_users(path))
            return refuse(own_service_unsafe_folder, message,
                          "The service was not installed: users without administrative rights can change " +
                              narrow(path) + ". Install Chronobel into a folder only administrators can change, "
                              "such as Program Files.");
    std::wstring registered;
    if (query_service_command_line(service_name, registered) == service_manager_unavailable)
        return own_service_no_manager;
    if (!registered.empty() && lower_case_path(registered) != lower_case_path(service_command_line(state)))
        return refuse(own_service_taken, message,
                      "The service was not installed: a service named \"Chronobel\" is already registered for " +
                          narrow(registered) + ".");
    return own_service_done;
}

int install_own_service(const chronobel_state& state, std::string* message) {
    if (const int refused = may_install_own_service(state, message); refused != own_service_done) return refused;
    if (install_service(service_name, service_display_name, service_command_line(state), service_description) ==
        service_manager_unavailable)
        return own_service_no_manager;
    // Before the start, so that the service's first entry reads well.
    if (const int registered = register_event_source(event_source_name, state.program_path.full);
        registered != service_call_done)
        return refuse(registered == service_manager_unavailable ? own_service_no_manager : own_service_failed, message,
                      "The event log source \"Chronobel\" could not be registered.");
    start_service(service_name);
    return await_running() ? own_service_done : own_service_failed;
}

int remove_own_service() {
    service_status_record status;
    std::uint8_t installed = 0, running = 0;
    if (query_service(service_name, status, installed, running) == service_manager_unavailable)
        return own_service_no_manager;
    bool deleted = !installed;
    if (installed && remove_service(service_name, running, &deleted) == service_manager_unavailable)
        return own_service_no_manager;
    // Also when the service was gone already: an earlier removal may have
    // left the source.
    const int source_removed = remove_event_source(event_source_name);
    if (source_removed == service_manager_unavailable) return own_service_no_manager;
    return deleted && source_removed == service_call_done ? own_service_done : own_service_failed;
}

}  // namespace orvane
