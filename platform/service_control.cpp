#include "platform/service_control.h"
#include "platform/service_calls.h"
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

}  // namespace

std::wstring service_command_line(const chronobel_state& state) {
    return L"\"" + state.program_dir() + state.exe_name + L"\" /x";
}

int install_own_service(const chronobel_state& state) {
    // Without its own path the program cannot name itself to the manager.
    if (state.program_dir().empty()) return own_service_failed;
    if (install_service(service_name, service_display_name, service_command_line(state), service_description) ==
        service_manager_unavailable)
        return own_service_no_manager;
    start_service(service_name);
    return await_running() ? own_service_done : own_service_failed;
}

int remove_own_service() {
    service_status_record status;
    std::uint8_t installed = 0, running = 0;
    if (query_service(service_name, status, installed, running) == service_manager_unavailable)
        return own_service_no_manager;
    if (!installed) return own_service_done;
    bool deleted = false;
    if (remove_service(service_name, running, &deleted) == service_manager_unavailable) return own_service_no_manager;
    return deleted ? own_service_done : own_service_failed;
}

}  // namespace orvane
