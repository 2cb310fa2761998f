// The relay that the bench and the retransmission tests put between a client
// and a server: it must lose exactly what it is told to, delay by at least
// what it is told to, and lose the same datagrams again with the same seed.
#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <chrono>
#include <set>
#include <thread>
#include "support/loopback_servers.h"
#include "support/udp_relay.h"

using namespace orvane::testing;
using namespace std::chrono_literals;

namespace {

// A client socket on 127.0.0.1 that talks to the relay's first route.
struct relay_client {
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ~relay_client() { close(fd); }
    void send_id(std::uint16_t port, std::uint8_t id) const {
        sockaddr_in to{};
        ASSERT_TRUE(parse_loopback_endpoint("127.0.0.1:" + std::to_string(port), to));
        const std::uint8_t packet[48] = {0x1B, id};
        ASSERT_EQ(sendto(fd, packet, sizeof packet, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to), 48);
    }
    // The id of the next reply, or -1 when none comes within `limit`.
    int receive_id(std::chrono::milliseconds limit) const {
        pollfd p{fd, POLLIN, 0};
        std::uint8_t packet[64];
        if (poll(&p, 1, static_cast<int>(limit.count())) != 1 || recv(fd, packet, sizeof packet, 0) != 48) return -1;
        return packet[1];
    }
};

relay_route route_to(std::uint16_t server_port) {
    relay_route r;
    EXPECT_TRUE(parse_loopback_endpoint("127.0.0.1:0", r.listen));
    EXPECT_TRUE(parse_loopback_endpoint("127.0.0.1:" + std::to_string(server_port), r.server));
    return r;
}

sntp_responder echo() { return sntp_responder([](const byte_string& request) { return request; }); }

// The ids of 40 datagrams sent at once that come back through a relay losing
// half of them each way with `seed`.
std::set<int> survivors(std::uint64_t seed) {
    sntp_responder server = echo();
    udp_relay relay;
    std::string error;
    relay_settings lossy;
    lossy.to_server.loss = lossy.to_client.loss = 0.5;
    lossy.seed = seed;
    EXPECT_TRUE(relay.start({route_to(server.port())}, lossy, error)) << error;
    relay_client client;
    for (std::uint8_t id = 0; id < 40; ++id) client.send_id(relay.port(0), id);
    // Every fate is decided once each datagram has been dropped or forwarded
    // both ways; then the client reads all that was sent back.
    relay_counts c;
    for (int i = 0; i < 1000; ++i) {
        c = relay.counts();
        if (c.to_server + c.to_server_dropped == 40 && c.to_client + c.to_client_dropped == c.to_server) break;
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(c.to_server + c.to_server_dropped, 40u);
    EXPECT_EQ(c.to_client + c.to_client_dropped, c.to_server);
    std::set<int> back;
    for (int id; back.size() < c.to_client && (id = client.receive_id(5000ms)) >= 0;) back.insert(id);
    EXPECT_EQ(back.size(), c.to_client);
    return back;
}

}  // namespace

TEST(UdpRelay, DropsTheFirstDatagramAndDelaysEachWay) {
    sntp_responder server = echo();
    udp_relay relay;
    std::string error;
    relay_settings slow;
    slow.to_server.delay = 30ms;
    slow.to_client.delay = 20ms;
    slow.drop_first = 1;
    ASSERT_TRUE(relay.start({route_to(server.port())}, slow, error)) << error;
    ASSERT_NE(relay.port(0), 0);

    relay_client client;
    client.send_id(relay.port(0), 1);
    EXPECT_EQ(client.receive_id(300ms), -1) << "the first datagram must be lost";
    const auto sent = std::chrono::steady_clock::now();
    client.send_id(relay.port(0), 2);
    EXPECT_EQ(client.receive_id(5000ms), 2);
    EXPECT_GE(std::chrono::steady_clock::now() - sent, 50ms);
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0][1], 2);

    relay.stop();  // after the join, the counts include the reply just read
    EXPECT_FALSE(relay.running());
    const relay_counts c = relay.counts();
    EXPECT_EQ(c.to_server, 1u);
    EXPECT_EQ(c.to_server_dropped, 1u);
    EXPECT_EQ(c.to_client, 1u);
}

TEST(UdpRelay, TheSameSeedLosesTheSameDatagrams) {
    const std::set<int> first = survivors(7);
    EXPECT_GT(first.size(), 0u);
    EXPECT_LT(first.size(), 40u);
    EXPECT_EQ(survivors(7), first);
    EXPECT_NE(survivors(8), first);
}

TEST(UdpRelay, RefusesAddressesOffLoopbackAndEndsByItself) {
    sockaddr_in a{};
    EXPECT_FALSE(parse_loopback_endpoint("10.0.0.1:123", a));
    EXPECT_FALSE(parse_loopback_endpoint("127.0.0.1", a));
    EXPECT_FALSE(parse_loopback_endpoint("127.0.0.1:65536", a));
    EXPECT_FALSE(parse_loopback_endpoint("127.0.0.1:12a", a));
    ASSERT_TRUE(parse_loopback_endpoint("127.0.0.3:123", a));
    EXPECT_EQ(endpoint_text(a), "127.0.0.3:123");

    udp_relay relay;
    std::string error;
    relay_route off_loopback = route_to(1);
    off_loopback.server.sin_addr.s_addr = htonl(0x0A000001);
    EXPECT_FALSE(relay.start({off_loopback}, {}, error));
    EXPECT_FALSE(error.empty());

    relay_settings brief;
    brief.run_limit = 100ms;
    ASSERT_TRUE(relay.start({route_to(1)}, brief, error)) << error;
    for (int i = 0; i < 100 && relay.running(); ++i) std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(relay.running());
}
