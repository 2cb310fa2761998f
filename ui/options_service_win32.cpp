#include "ui/options_service_win32.h"
#include "platform/service_calls.h"

namespace orvane {
namespace {

constexpr wchar_t own_service[] = L"Chronobel";

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

// STAND-INS: installing and removing a service by name come with the service
// installation (install_service and remove_service beside query_service);
// until then these two buttons change nothing, and the status query a
// second later shows so.
void install_chronobel_service(const chronobel_state&) {}

void remove_chronobel_service(bool) {}

}  // namespace orvane
