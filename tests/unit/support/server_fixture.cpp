#include "support/server_fixture.h"
#include "data/ui_strings.h"
#include "engine/worker.h"
#include "server/client_names.h"
#include "server/servers.h"

namespace orvane::testing {

void server_fixture::SetUp() {
    load_ui_strings(state, 250, L"Strings.txt");
    apply_default_settings(state);
    state.settings.time_server_enabled = 1;
    state.time_server_port = 0;
    state.sntp_server_port = 0;
    state.set_view(&view);
}

void server_fixture::TearDown() {
    EXPECT_TRUE(stop_servers());
    set_client_name_lookup(nullptr);
}

void server_fixture::start_thread_of(void (*server)(chronobel_state&)) {
    threads.emplace_back([this, server] { server(state); });
}

std::uint16_t server_fixture::start_sntp_server() {
    start_thread_of(run_sntp_server);
    return wait_for_bound_port(state.sntp_server_socket);
}

std::uint16_t server_fixture::start_time_server() {
    start_thread_of(run_time_server);
    const std::uint16_t port = wait_for_bound_port(state.time_server_socket);
    std::vector<std::uint8_t> bytes;
    // Bound comes a moment before listening.
    if (port != 0 && !wait_until([&] { return read_time_stream(port, bytes); })) return 0;
    return port;
}

bool server_fixture::servers_ended() {
    const bool ended = wait_until([this] { return state.server_state.load() == 0; });
    // Joined even when late: a thread left running would outlive the state.
    for (std::thread& t : threads) t.join();
    threads.clear();
    return ended;
}

bool server_fixture::stop_servers() {
    if (threads.empty()) return true;
    state.stop_requested = 1;
    close_server_sockets(state);
    return servers_ended();
}

bool server_fixture::switch_servers_off() {
    set_flag(state.settings.time_server_enabled, false);
    close_server_sockets(state);
    return servers_ended();
}

std::vector<std::string> server_fixture::status_texts(int number) const {
    const std::string start = state.ui_text(number);
    std::vector<std::string> found;
    for (const std::string& t : view.texts(control_status_line))
        if (t.rfind(start, 0) == 0) found.push_back(t);
    return found;
}

}  // namespace orvane::testing
