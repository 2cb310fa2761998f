// The socket library under Windows: started by the first user, cleaned up by
// the last; an abort that ends a query blocked in a receive; and the
// built-in servers' sockets, whose ports no other socket may share and
// which read a datagram too long for them as its first 48 bytes.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <gtest/gtest.h>
#include <array>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>
#include "core/state.h"
#include "engine/query.h"
#include "engine/worker.h"
#include "server/servers.h"
#include "sys/sockets.h"

using namespace orvane;

namespace {

// Whether Winsock is started in this process: a socket can be made.
bool sockets_usable() {
    const socket_handle s = open_socket(socket_transport::udp);
    if (s == no_socket) return false;
    close_socket(s);
    return true;
}

}  // namespace

TEST(WinsockCount, StartsOnceAndCleansUpOnce) {
    if (sockets_usable()) GTEST_SKIP() << "another part of this process keeps Winsock started";
    EXPECT_EQ(last_socket_error(), socket_error_not_initialised);
    query_engine engine;
    ASSERT_EQ(acquire_winsock(engine), query_ok);
    EXPECT_TRUE(sockets_usable());
    ASSERT_EQ(acquire_winsock(engine), query_ok);
    EXPECT_EQ(engine.winsock_users.load(), 2);
    EXPECT_EQ(release_winsock(engine), query_ok);
    EXPECT_TRUE(sockets_usable());  // one user left: not cleaned up yet
    EXPECT_EQ(release_winsock(engine), query_ok);
    EXPECT_FALSE(sockets_usable());  // started once, so cleaned up by this release
    EXPECT_EQ(release_winsock(engine), query_not_prepared);
    EXPECT_EQ(engine.winsock_users.load(), 0);
}

TEST(WinsockCount, AbortEndsABlockedReceiveWithinASecond) {
    ASSERT_TRUE(start_socket_library());
    // Servers that never answer: a listener that never accepts (the
    // connection still completes) and a UDP socket that never reads.
    const socket_handle listener = open_socket(socket_transport::tcp);
    const socket_handle datagrams = open_socket(socket_transport::udp);
    ASSERT_TRUE(bind_socket(listener, ipv4_loopback, 0));
    ASSERT_TRUE(listen_socket(listener, 4));
    ASSERT_TRUE(bind_socket(datagrams, ipv4_loopback, 0));
    for (const std::int32_t protocol : {protocol_time, protocol_sntp}) {
        auto state = std::make_shared<chronobel_state>();
        query_engine& e = state->engine;
        e.server_name = "127.0.0.1";
        e.protocol = protocol;
        e.time_port = bound_port(listener);
        e.sntp_port = bound_port(datagrams);
        ASSERT_EQ(prepare_query(e), query_ok);
        std::thread query([state] { run_query(*state); });
        for (int i = 0; i < 5000 && e.phase.load() < phase_awaiting_reply; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        EXPECT_EQ(e.phase.load(), phase_awaiting_reply) << protocol;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));  // into the blocking receive
        const auto begin = std::chrono::steady_clock::now();
        EXPECT_EQ(abort_query(e), 0);
        EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(1)) << protocol;
        query.join();
        EXPECT_EQ(e.failed.load(), 1);
        EXPECT_EQ(e.busy.load(), 0);
        EXPECT_EQ(e.query_socket.load(), no_socket);
    }
    close_socket(listener);
    close_socket(datagrams);
    stop_socket_library();
}

namespace {

// A socket that asks to share: SO_REUSEADDR, as any program may set it.
bool sharing_bind_works(int type, ip_address address, std::uint16_t port) {
    const bool v6 = address.family == ip_family::v6;
    const SOCKET s = socket(v6 ? AF_INET6 : AF_INET, type, 0);
    const BOOL on = TRUE;
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on), sizeof on);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    std::memcpy(&a.sin_addr, address.bytes.data(), 4);
    sockaddr_in6 a6{};
    a6.sin6_family = AF_INET6;
    a6.sin6_port = htons(port);
    std::memcpy(&a6.sin6_addr, address.bytes.data(), 16);
    const bool bound = v6 ? bind(s, reinterpret_cast<const sockaddr*>(&a6), sizeof a6) == 0
                          : bind(s, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
    closesocket(s);
    return bound;
}

std::uint16_t wait_for_port(const std::atomic<socket_handle>& stored) {
    for (int i = 0; i < 5000; ++i) {
        const socket_handle s = stored.load();
        if (const std::uint16_t port = s != no_socket ? bound_port(s) : 0) return port;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return 0;
}

}  // namespace

TEST(ServerSockets, PortsAreTheirsAloneAndLongDatagramsAreAnswered) {
    ASSERT_TRUE(start_socket_library());
    auto state = std::make_shared<chronobel_state>();
    apply_default_settings(*state);
    state->settings.time_server_enabled = 1;
    state->settings.log_disabled = 1;
    state->time_server_port = 0;
    state->sntp_server_port = 0;
    std::thread sntp([state] { run_sntp_server(*state); });
    std::thread time([state] { run_time_server(*state); });
    const std::uint16_t sntp_port = wait_for_port(state->sntp_server_socket);
    const std::uint16_t time_port = wait_for_port(state->time_server_socket);
    const std::uint16_t sntp_port6 = wait_for_port(state->sntp_server_socket6);
    const std::uint16_t time_port6 = wait_for_port(state->time_server_socket6);
    EXPECT_NE(sntp_port, 0);
    EXPECT_NE(time_port, 0);
    EXPECT_NE(sntp_port6, 0);
    EXPECT_NE(time_port6, 0);
    for (const ip_address address : {ipv4_any, ipv4_loopback, ipv6_any, ipv6_loopback}) {
        const bool v6 = address.family == ip_family::v6;
        EXPECT_FALSE(sharing_bind_works(SOCK_DGRAM, address, v6 ? sntp_port6 : sntp_port)) << address_text(address);
        EXPECT_FALSE(sharing_bind_works(SOCK_STREAM, address, v6 ? time_port6 : time_port)) << address_text(address);
    }

    // Winsock refuses a datagram longer than the buffer (WSAEMSGSIZE): the
    // server answers it from its first 48 bytes, again and again.
    // (No ASSERT before the servers are stopped and their threads joined.)
    const socket_handle client = open_socket(socket_transport::udp);
    EXPECT_TRUE(bind_socket(client, ipv4_loopback, 0));
    std::array<std::uint8_t, 68> request{};
    request[0] = 0x23;
    request[47] = 0x5C;
    for (int i = 0; i < 3; ++i) {
        std::array<std::uint8_t, 100> reply{};
        if (send_datagram(client, request.data(), 68, ipv4_loopback, sntp_port) != 68 ||
            wait_readable(client, 2000) != 1) {
            ADD_FAILURE() << "no reply to datagram " << i;
            break;
        }
        EXPECT_EQ(receive_datagram(client, reply.data(), 100, nullptr, nullptr), 48);
        EXPECT_EQ(reply[0], 0x1C);
        EXPECT_EQ(reply[31], 0x5C);  // Originate: the request's Transmit
    }
    close_socket(client);

    state->stop_requested = 1;
    close_server_sockets(*state);
    sntp.join();
    time.join();
    stop_socket_library();
}
