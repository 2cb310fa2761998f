#include "server/servers.h"

namespace orvane {

void start_servers(chronobel_state& state) {
    start_program_thread(state, program_thread::time_server, run_time_server);
    start_program_thread(state, program_thread::sntp_server, run_sntp_server);
}

}  // namespace orvane
