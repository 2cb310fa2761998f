// The built-in TIME server on a free TCP port, with real clients on
// 127.0.0.x, the test clock for fixed times and a recording main view; and
// the two servers side by side.
#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <atomic>
#include <thread>
#include "core/status_hold.h"
#include "engine/query.h"
#include "server/client_names.h"
#include "server/servers.h"
#include "sys/clock.h"
#include "support/server_fixture.h"
#include "support/test_clock.h"

using namespace orvane;
using namespace orvane::testing;

namespace {

using bytes = std::vector<std::uint8_t>;

// 2020-01-01 12:00:00 UTC.
constexpr filetime noon_2020 = E1900 + 3'786'868'800ULL * 10'000'000;
constexpr ipv4_address client_a{{127, 0, 0, 2}};
constexpr ipv4_address client_b{{127, 0, 0, 3}};

std::atomic<int> lookups{0};
std::string no_names(ipv4_address) {
    ++lookups;
    return {};
}

// A socket of this test bound to a free port of every address, without
// SO_REUSEADDR, so that no server can bind that port beside it.
struct port_holder {
    int fd;
    std::uint16_t port = 0;
    explicit port_holder(int type) : fd(socket(AF_INET, type | SOCK_CLOEXEC, 0)) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        socklen_t size = sizeof a;
        if (bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0 &&
            getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size) == 0)
            port = ntohs(a.sin_port);
        if (type == SOCK_STREAM) listen(fd, 1);
    }
    ~port_holder() { release(); }
    void release() {
        if (fd >= 0) close(fd);
        fd = -1;
    }
};

struct TimeServer : server_fixture {
    void SetUp() override {
        server_fixture::SetUp();
        set_client_name_lookup(no_names);
        lookups = 0;
    }
};

}  // namespace

TEST_F(TimeServer, FourBytesThenEndOfStream) {
    scoped_test_clock clock;
    clock.clock.freeze_at(noon_2020 + 9'999'999);  // the fraction is dropped
    const std::uint16_t port = start_time_server();
    ASSERT_NE(port, 0);
    bytes reply;
    ASSERT_TRUE(read_time_stream(port, reply));
    EXPECT_EQ(reply, (bytes{0xE1, 0xB7, 0x08, 0x40}));
    // After 2036-02-07 06:28:16 UTC the seconds start again from 0.
    clock.clock.freeze_at(E1900 + ntp_era_length + 70 * 10'000'000ULL);
    ASSERT_TRUE(read_time_stream(port, reply));
    EXPECT_EQ(reply, (bytes{0, 0, 0, 70}));
    EXPECT_TRUE(stop_servers());  // while the test clock still stands
}

TEST_F(TimeServer, ClientDataIsNeverAwaited) {
    const std::uint16_t port = start_time_server();
    ASSERT_NE(port, 0);
    bytes reply;
    // A client that sends nothing is answered (read_time_stream sends nothing
    // by default), and so is one that sends something first.
    ASSERT_TRUE(read_time_stream(port, reply));
    EXPECT_EQ(reply.size(), 4u);
    // The reply is not held back for it. (Closing a connection with unread
    // data may end it with a reset rather than a plain end of stream.)
    read_time_stream(port, reply, client_a, "hello");
    EXPECT_EQ(reply.size(), 4u);
}

TEST_F(TimeServer, StatusWaitsForTheRunningQueryButRepliesDoNot) {
    const std::uint16_t port = start_time_server();
    ASSERT_NE(port, 0);
    ASSERT_TRUE(wait_until([&] { return !status_texts(110).empty(); }));  // the start-up probe
    view.clear();
    state.engine.phase = phase_awaiting_reply;
    bytes reply;
    ASSERT_TRUE(read_time_stream(port, reply, client_a));
    ASSERT_TRUE(read_time_stream(port, reply, client_b));  // accepted at once
    EXPECT_EQ(reply.size(), 4u);
    std::this_thread::sleep_for(700ms);
    EXPECT_TRUE(status_texts(110).empty());
    state.engine.phase = 0;
    EXPECT_TRUE(wait_until([&] { return view.last_text(control_status_line) == "TIME Server Chronobeled 127.0.0.3"; }));
    EXPECT_EQ(status_hold_at(state, tick_count64()), status_hold_stage::text);
}

TEST_F(TimeServer, NamedOrDottedAndLoggedUnderTheServerSwitch) {
    set_client_name_lookup(nullptr);  // the real resolver: 127.0.0.1 is "localhost"
    const std::uint16_t port = start_time_server();
    ASSERT_NE(port, 0);
    EXPECT_TRUE(wait_until([&] { return view.last_text(control_status_line) == "TIME Server Chronobeled localhost"; }));
    set_client_name_lookup(no_names);
    bytes reply;
    ASSERT_TRUE(read_time_stream(port, reply, client_a));
    EXPECT_TRUE(wait_until([&] { return view.last_text(control_status_line) == "TIME Server Chronobeled 127.0.0.2"; }));
    EXPECT_TRUE(stop_servers());
    const std::string log = log_text();
    EXPECT_NE(log.find("  TIME Server Chronobeled localhost\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("  TIME Server Chronobeled 127.0.0.2\r\n"), std::string::npos) << log;

    // Nothing is logged with the switch off, or all logging disabled.
    for (const bool disabled : {false, true}) {
        dirs.data.write("dLog.txt", "");
        state.settings.log_server = disabled ? 1 : 0;
        state.settings.log_disabled = disabled ? 1 : 0;
        state.stop_requested = 0;
        view.clear();
        ASSERT_NE(start_time_server(), 0);
        EXPECT_TRUE(wait_until([&] { return !status_texts(110).empty(); }));
        EXPECT_TRUE(stop_servers());
        EXPECT_EQ(log_text(), "");
    }
}

TEST_F(TimeServer, BusyPortIsRetriedWithoutEndingTheServerNorCountingIt) {
    port_holder holder(SOCK_STREAM);
    ASSERT_NE(holder.port, 0);
    state.time_server_port = holder.port;
    start_thread_of(run_time_server);
    ASSERT_TRUE(wait_until([&] { return state.time_server_socket.load() != no_socket; }));
    std::this_thread::sleep_for(200ms);
    // Serving no one, it is not "TIME Server Active".
    EXPECT_EQ(state.server_state.load(), 0);
    // Stoppable while it waits for the port.
    EXPECT_TRUE(stop_servers());

    state.stop_requested = 0;
    start_thread_of(run_time_server);
    std::this_thread::sleep_for(200ms);
    holder.release();
    // Bound within one retry period of the port coming free. (Nothing may
    // connect to the free port meanwhile: a client given that very port as
    // its own would connect to itself and hold the port.)
    EXPECT_TRUE(wait_until([&] { return bound_port(state.time_server_socket.load()) == holder.port; }, 8s));
    bytes reply;
    EXPECT_TRUE(wait_until([&] { return read_time_stream(holder.port, reply); }, 2s));
    EXPECT_EQ(reply.size(), 4u);
    EXPECT_EQ(state.server_state.load(), 1);
}

TEST_F(TimeServer, StopsWhenIdleAndWhileFlooded) {
    ASSERT_NE(start_time_server(), 0);
    EXPECT_EQ(state.server_state.load(), 1);
    EXPECT_TRUE(switch_servers_off());
    EXPECT_EQ(state.time_server_socket.load(), no_socket);

    set_flag(state.settings.time_server_enabled, true);
    const std::uint16_t port = start_time_server();
    ASSERT_NE(port, 0);
    std::atomic<bool> flooding{true};
    std::atomic<int> served{0};
    std::vector<std::thread> clients;
    for (int c = 0; c < 4; ++c)
        clients.emplace_back([&] {
            bytes reply;
            const auto until = std::chrono::steady_clock::now() + 10s;
            for (int i = 0; i < 100'000 && flooding && std::chrono::steady_clock::now() < until; ++i)
                if (read_time_stream(port, reply, ipv4_loopback, {}, 500ms)) ++served;
        });
    ASSERT_TRUE(wait_until([&] { return served.load() > 200; }));
    EXPECT_TRUE(stop_servers());
    flooding = false;
    for (std::thread& t : clients) t.join();
}

TEST_F(TimeServer, ServerStateCountsBothServersAndOnlyThoseServing) {
    ASSERT_NE(start_time_server(), 0);
    ASSERT_NE(start_sntp_server(), 0);
    EXPECT_EQ(state.server_state.load(), 3);
    EXPECT_TRUE(stop_servers());
    EXPECT_EQ(state.server_state.load(), 0);

    // With the SNTP port taken, only the TIME server stays.
    port_holder holder(SOCK_DGRAM);
    state.stop_requested = 0;
    state.sntp_server_port = holder.port;
    ASSERT_NE(start_time_server(), 0);
    start_thread_of(run_sntp_server);
    // The TIME server's own status for an earlier client may come after it.
    EXPECT_TRUE(wait_until([&] {
        for (const std::string& text : view.texts(control_status_line))
            if (text.rfind("SNTP Server Port Error", 0) == 0) return true;
        return false;
    }));
    EXPECT_TRUE(wait_until([&] { return state.server_state.load() == 1; }));
    bytes reply;
    EXPECT_TRUE(read_time_stream(wait_for_bound_port(state.time_server_socket), reply));
}
