#include "ui/options_service_win32.h"
#include "platform/event_log.h"
#include "platform/service_calls.h"
#include "platform/service_control.h"

namespace orvane {
namespace {

constexpr const wchar_t* own_service = service_name;

}  // namespace

service_status query_own_service() {
    service_status_record record;
    std::uint8_t installed = 0, running = 0;
    query_service(own_service, record, installed, running);
    return {installed != 0, running != 0};
}

void start_own_service() { start_service(own_service); }

void stop_own_service() {
    service_status_record record;
    stop_service(own_service, record);
}

bool install_chronobel_service(const chronobel_state& state, std::string& refusal) {
    if (may_install_own_service(state, &refusal) != own_service_done) return false;
    install_service(own_service, service_display_name, service_command_line(state), service_description);
    register_event_source(event_source_name, state.program_path.full);
    return true;
}

void remove_chronobel_service(bool running) {
    remove_service(own_service, running ? 1 : 0);
    remove_event_source(event_source_name);
}

}  // namespace orvane
