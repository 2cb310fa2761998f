#include "platform/service_reload.h"
#include "data/data_files.h"
#include "engine/log.h"
#include "engine/service_autosync.h"
#include "engine/worker.h"
#include "platform/policy.h"
#include "server/servers.h"

namespace orvane {

void reload_service_settings(chronobel_state& state) {
    const bool was_serving = state.settings.time_server_enabled != 0;
    load_data_files(state);
    apply_machine_policy(state);
    service_settings_rules(state.settings);
    const settings_record& s = state.settings;
    if (!s.log_disabled) write_log_line(state, "Settings read again by the service", "");
    if (was_serving && !s.time_server_enabled) close_server_sockets(state);
    if (!was_serving && s.time_server_enabled) start_servers(state);
    if (s.autosync_enabled) {
        state.correct_requested = 1;
        start_operation(state, auto_sync);
    }
}

}  // namespace orvane
