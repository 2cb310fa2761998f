#include "server/servers.h"
#include "sys/threads.h"

namespace orvane {
namespace {

void time_server_entry(void* parameter) {
    std::shared_ptr<chronobel_state> state = take_state(parameter);
    run_time_server(*state);
}

void sntp_server_entry(void* parameter) {
    std::shared_ptr<chronobel_state> state = take_state(parameter);
    run_sntp_server(*state);
}

}  // namespace

void start_servers(chronobel_state&, std::shared_ptr<chronobel_state>* owner) {
    close_thread_handle(start_thread(time_server_entry, owner));
    close_thread_handle(start_thread(sntp_server_entry, owner));
}

}  // namespace orvane
