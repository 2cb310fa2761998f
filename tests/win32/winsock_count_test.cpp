// The socket library under Windows: started by the first user, cleaned up by
// the last; and an abort that ends a query blocked in a receive.
#include <gtest/gtest.h>
#include <chrono>
#include <memory>
#include <thread>
#include "core/state.h"
#include "engine/query.h"
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
