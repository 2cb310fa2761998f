#include "server/server_run.h"
#include "core/socket_handover.h"
#include "engine/query.h"
#include "sys/clock.h"

namespace orvane {
namespace {

constexpr std::uint32_t pause_step_ms = 100;

constexpr std::uint64_t units_per_ms = filetime_units_per_second / 1000;
constexpr std::uint64_t fraction_per_ms = 4'294'967;  // 2^32 ÷ 1000, truncated

}  // namespace

bool setting_on(std::uint8_t& flag) { return std::atomic_ref<std::uint8_t>(flag).load() != 0; }

bool server_enabled(chronobel_state& state) { return setting_on(state.settings.time_server_enabled); }

ntp_timestamp server_timestamp(filetime utc) {
    const std::uint64_t in_second = utc % filetime_units_per_second;
    static_assert((filetime_units_per_second - 1) * fraction_per_ms / units_per_ms < (std::uint64_t{1} << 32));
    return {filetime_to_ntp_timestamp(utc).seconds, static_cast<std::uint32_t>(in_second * fraction_per_ms / units_per_ms)};
}

server_socket::server_socket(std::atomic<socket_handle>& stored, socket_transport transport, ip_family family)
    : stored_(stored), own_(open_socket(transport, family)) {
    if (own_ != no_socket) stored_.store(own_);
}

server_socket::~server_socket() { close(); }

void server_socket::close() {
    if (own_ == no_socket) return;
    // A stopper that took the socket has finished with it once this returns.
    withdraw_published_socket(stored_, own_);
    close_socket(own_);
    own_ = no_socket;
}

ip_address any_address(ip_family family) { return family == ip_family::v6 ? ipv6_any : ipv4_any; }

bool keeps_serving(chronobel_state& state, const server_sockets& sockets) {
    return state.stop_requested.load() == 0 && server_enabled(state) && sockets.v4.still_published() &&
           sockets.v6.still_published();
}

void pause_while_serving(chronobel_state& state, const server_sockets& sockets, std::uint32_t ms) {
    for (std::uint32_t waited = 0; waited < ms && keeps_serving(state, sockets); waited += pause_step_ms)
        sleep_ms(pause_step_ms);
}

socket_handle next_ready_socket(const server_sockets& sockets) {
    if (!sockets.v6.is_open()) return sockets.v4.handle();
    if (!sockets.v4.is_open()) return sockets.v6.handle();
    const socket_handle both[] = {sockets.v4.handle(), sockets.v6.handle()};
    const int ready = wait_any_readable(both, 2, pause_step_ms);
    if (ready == -2) sleep_ms(pause_step_ms);  // a failing wait must not spin the thread
    return ready >= 0 ? both[ready] : no_socket;
}

}  // namespace orvane
