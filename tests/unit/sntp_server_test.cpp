// The built-in SNTP server on a free UDP port, with real clients on
// 127.0.0.x, the test clock for fixed times and a recording main view.
#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include "core/status_hold.h"
#include "engine/ntp_time.h"
#include "server/client_names.h"
#include "server/server_run.h"
#include "server/servers.h"
#include "server/sntp_reply.h"
#include "engine/worker.h"
#include "sys/clock.h"
#include "support/server_fixture.h"
#include "support/test_clock.h"

using namespace orvane;
using namespace orvane::testing;

namespace {

using bytes = std::vector<std::uint8_t>;

// 2020-01-01 12:00:00.500 UTC.
constexpr filetime noon_2020 = E1900 + 3'786'868'800ULL * 10'000'000 + 5'000'000;
constexpr ipv4_address client_a{{127, 0, 0, 2}};
constexpr ipv4_address client_b{{127, 0, 0, 3}};

sntp_packet request_with(std::uint8_t first, std::uint8_t fill) {
    sntp_packet p;
    p.fill(fill);
    p[0] = first;
    for (std::size_t i = 0; i < 8; ++i) p[sntp_transmit_at + i] = static_cast<std::uint8_t>(0xA0 + i);
    return p;
}

bytes slice(const sntp_packet& p, std::size_t at, std::size_t n) { return bytes(p.begin() + at, p.begin() + at + n); }
bytes whole(const sntp_packet& p) { return bytes(p.begin(), p.end()); }

// A request whose Transmit Timestamp ends in a byte of its own, so that its
// reply is told from the replies to others.
constexpr std::uint8_t marker = 0x5C;
sntp_packet marked(sntp_packet p) {
    p[sntp_transmit_at + 7] = marker;
    return p;
}

// Sends `others`, then `request` (marked): true when the first reply that
// comes back is the request's. Loopback keeps the order, so a reply to any
// of the others would come first.
bool only_request_answered(const udp_client& client, std::uint16_t port, const std::vector<bytes>& others,
                           const sntp_packet& request) {
    for (const bytes& d : others)
        if (!client.send(port, d)) return false;
    bytes reply;
    if (!client.send(port, whole(marked(request))) || !client.receive(reply)) return false;
    return reply.size() == sntp_packet_size && reply[sntp_originate_at + 7] == marker;
}

// Counts the batches of replies that servers of this process are about to send.
std::atomic<int> reply_batches{0};
void count_reply_batch() { ++reply_batches; }

// Reverse look-ups for the tests: none known, or held until released.
std::atomic<int> lookups{0};
std::atomic<bool> lookups_released{false};
std::string no_names(ipv4_address) {
    ++lookups;
    return {};
}
std::string held_names(ipv4_address) {
    ++lookups;
    for (int i = 0; i < 20'000 && !lookups_released; ++i) std::this_thread::sleep_for(1ms);
    return "slow.example";
}

struct SntpServer : server_fixture {
    void SetUp() override {
        server_fixture::SetUp();
        lookups = 0;
        lookups_released = false;
    }
    void TearDown() override {
        lookups_released = true;
        server_fixture::TearDown();
    }
    // Starts the server and has one request from `from` answered and shown.
    void serve_one_client(ipv4_address from) {
        const std::uint16_t port = start_sntp_server();
        ASSERT_NE(port, 0);
        udp_client client(from);
        sntp_packet reply{};
        ASSERT_TRUE(client.exchange(port, request_with(0x1B, 0), reply));
        EXPECT_TRUE(wait_until([&] { return !status_texts(111).empty(); }));
    }
};

}  // namespace

TEST_F(SntpServer, RepliesInServerModeToEveryKindOfRequest) {
    const std::uint16_t port = start_sntp_server();
    ASSERT_NE(port, 0);
    udp_client client;
    // Version 3, 4 and 1 clients, mode 0 of version 1, symmetric active.
    for (std::uint8_t first : {0x1B, 0x23, 0x0B, 0x08, 0xE1}) {
        const sntp_packet request = request_with(first, static_cast<std::uint8_t>(first ^ 0x5A));
        sntp_packet reply{};
        ASSERT_TRUE(client.exchange(port, request, reply)) << int(first);
        EXPECT_EQ(slice(reply, 0, 4), (bytes{0x1C, 0x02, 0x06, 0xF6}));
        // Root delay and root dispersion 100/65536 s in network byte order;
        // the reference identifier keeps its old bytes.
        EXPECT_EQ(slice(reply, 4, 12), (bytes{0, 0, 0, 0x64, 0, 0, 0, 0x64, 0x64, 0, 0, 0}));
        // Originate echoes the request's Transmit byte for byte.
        EXPECT_EQ(slice(reply, sntp_originate_at, 8), slice(request, sntp_transmit_at, 8));
        EXPECT_EQ(read_timestamp(reply, sntp_reference_at), read_timestamp(reply, sntp_transmit_at));
        EXPECT_LE(ntp_timestamp_to_filetime(read_timestamp(reply, sntp_receive_at)),
                  ntp_timestamp_to_filetime(read_timestamp(reply, sntp_transmit_at)));
        EXPECT_NE(read_timestamp(reply, sntp_transmit_at), ntp_timestamp{});
    }
}

TEST_F(SntpServer, TimestampsFromTheClock) {
    scoped_test_clock clock;
    clock.clock.freeze_at(noon_2020);
    const std::uint16_t port = start_sntp_server();
    ASSERT_NE(port, 0);
    udp_client client;
    sntp_packet reply{};
    ASSERT_TRUE(client.exchange(port, request_with(0x1B, 0), reply));
    EXPECT_EQ(slice(reply, sntp_transmit_at, 4), (bytes{0xE1, 0xB7, 0x08, 0x40}));
    EXPECT_EQ(read_timestamp(reply, sntp_transmit_at), (ntp_timestamp{3'786'868'800u, 2'147'483'500u}));

    // Past the end of era 0 the seconds start again from 0.
    constexpr filetime era_1 = E1900 + ntp_era_length;
    clock.clock.freeze_at(era_1 + 10'000'000 + 2'500'000);
    ASSERT_TRUE(client.exchange(port, request_with(0x1B, 0), reply));
    EXPECT_EQ(read_timestamp(reply, sntp_transmit_at), (ntp_timestamp{1, 250 * 4'294'967u}));
    EXPECT_TRUE(stop_servers());  // while the test clock still stands
}

// The Receive Timestamp is the request's arrival, the Transmit Timestamp the
// moment of the send: a reply held 300 ms shows the hold between the two,
// and both lie between the client's send and its receive.
TEST_F(SntpServer, ReceivePrecedesTransmitByTheTimeTheReplyWasHeld) {
    set_sntp_reply_pause([] { std::this_thread::sleep_for(300ms); });
    const std::uint16_t port = start_sntp_server();
    ASSERT_NE(port, 0);
    udp_client client;
    sntp_packet reply{};
    const filetime sent = system_time_now();
    const bool answered = client.exchange(port, request_with(0x1B, 0), reply);
    const filetime arrived = system_time_now();
    set_sntp_reply_pause(nullptr);
    ASSERT_TRUE(answered);
    const filetime receive = ntp_timestamp_to_filetime(read_timestamp(reply, sntp_receive_at));
    const filetime transmit = ntp_timestamp_to_filetime(read_timestamp(reply, sntp_transmit_at));
    constexpr filetime stamp_rounding = 10;  // 1 µs: the stamps' 100 ns rounding, twice over
    EXPECT_GE(receive + stamp_rounding, sent);
    EXPECT_GE(transmit, receive + 3'000'000);  // held 300 ms in between
    EXPECT_LE(transmit, arrived + stamp_rounding);
    EXPECT_EQ(read_timestamp(reply, sntp_reference_at), read_timestamp(reply, sntp_transmit_at));
}

TEST(SntpServerTime, FractionIsMillisecondsTimesTheOldFactor) {
    const filetime second = E1900 + 3'786'868'800ULL * 10'000'000;
    EXPECT_EQ(server_timestamp(second), (ntp_timestamp{3'786'868'800u, 0}));
    EXPECT_EQ(server_timestamp(second + 10'000).fraction, 4'294'967u);           // 1 ms
    EXPECT_EQ(server_timestamp(second + 9'990'000).fraction, 999 * 4'294'967u);  // 999 ms
    EXPECT_EQ(server_timestamp(second + 9'999'999).fraction, 4'294'966'570u);    // kept to 100 ns
    EXPECT_EQ(server_timestamp(second + 5'000).fraction, 2'147'483u);            // 0.5 ms
}

// Only requests are answered: modes 3 and 1, and mode 0 of version 1.
// Replies (4), symmetric passive (2), broadcasts (5), control (6) and private
// (7) messages, and mode 0 of other versions, get nothing.
TEST_F(SntpServer, AnswersOnlyRequests) {
    const std::uint16_t port = start_sntp_server();
    ASSERT_NE(port, 0);
    udp_client client;
    std::vector<bytes> others;
    for (std::uint8_t first : {0x00, 0x10, 0x18, 0x20, 0x1A, 0x1C, 0x1D, 0x1E, 0x1F, 0xE4, 0xFF})
        others.push_back(whole(request_with(first, 0)));
    EXPECT_TRUE(only_request_answered(client, port, others, request_with(0x1B, 0)));
    bytes reply;
    EXPECT_FALSE(client.receive(reply, 100ms));
}

// One datagram is one request: whatever another sender sends before it
// never spoils it.
TEST_F(SntpServer, ADatagramFromAnotherSenderNeverSpoilsARequest) {
    const std::uint16_t port = start_sntp_server();
    ASSERT_NE(port, 0);
    udp_client first(client_a), second(client_b);
    ASSERT_TRUE(first.send(port, bytes{0x1B}));
    ASSERT_TRUE(first.send(port, bytes(24, 0x1B)));
    EXPECT_TRUE(only_request_answered(second, port, {}, request_with(0x1B, 0x11)));
    bytes reply;
    EXPECT_FALSE(first.receive(reply, 100ms));  // short datagrams are no requests
}

// A longer datagram (an authenticator, extension fields) is answered from its
// first 48 bytes; a shorter one is no request.
TEST_F(SntpServer, LongerDatagramsAreAnsweredShorterOnesNot) {
    const std::uint16_t port = start_sntp_server();
    ASSERT_NE(port, 0);
    udp_client client;
    bytes authenticated = whole(marked(request_with(0x23, 0)));
    authenticated.resize(68, 0xAB);
    ASSERT_TRUE(client.send(port, authenticated));
    bytes reply;
    ASSERT_TRUE(client.receive(reply));
    ASSERT_EQ(reply.size(), sntp_packet_size);
    EXPECT_EQ(bytes(reply.begin() + sntp_originate_at, reply.begin() + sntp_originate_at + 8),
              bytes(authenticated.begin() + sntp_transmit_at, authenticated.begin() + sntp_transmit_at + 8));
    EXPECT_TRUE(only_request_answered(client, port, {bytes(47, 0x1B), bytes(1, 0x1B), bytes{}}, request_with(0x1B, 0)));
}

// A reply that reaches a server, sent by another server or forged with its
// address, is not answered, so that one packet can never set two servers
// talking to each other for ever.
TEST_F(SntpServer, TwoServersNeverAnswerEachOther) {
    reply_batches = 0;
    set_sntp_reply_pause(count_reply_batch);
    const std::uint16_t port = start_sntp_server();
    ASSERT_NE(port, 0);
    recording_view other_view;
    state_in_temp_dirs other;
    apply_default_settings(other.state);
    other.state.settings.time_server_enabled = 1;
    other.state.sntp_server_port = 0;
    other.state.set_view(&other_view);
    std::thread other_server([&] { run_sntp_server(other.state); });
    EXPECT_NE(wait_for_bound_port(other.state.sntp_server_socket), 0);  // no ASSERT while it runs
    const socket_handle other_socket = other.state.sntp_server_socket.load();
    // A server reply from the other server's port: nothing comes of it.
    const sntp_packet forged = request_with(sntp_server_reply_mode, 0);
    EXPECT_EQ(send_datagram(other_socket, forged.data(), 48, ipv4_loopback, port), 48);
    // A request from there is answered once; the answer is not answered.
    const sntp_packet request = request_with(0x1B, 0);
    EXPECT_EQ(send_datagram(other_socket, request.data(), 48, ipv4_loopback, port), 48);
    EXPECT_TRUE(wait_until([] { return reply_batches.load() >= 1; }));
    EXPECT_FALSE(wait_until([] { return reply_batches.load() > 1; }, 300ms));
    set_sntp_reply_pause(nullptr);
    other.state.stop_requested = 1;
    close_server_sockets(other.state);
    EXPECT_TRUE(wait_until([&] { return other.state.server_state.load() == 0; }));
    other_server.join();
}

TEST_F(SntpServer, StatusLineNamesTheClientAfterTheReply) {
    serve_one_client(ipv4_loopback);  // "localhost" in /etc/hosts
    EXPECT_EQ(view.last_text(control_status_line), "SNTP Server Chronobeled localhost");
    EXPECT_EQ(status_hold_at(state, tick_count64()), status_hold_stage::text);
}

TEST_F(SntpServer, DottedAddressWhenTheClientHasNoName) {
    set_client_name_lookup(no_names);
    serve_one_client(client_a);
    EXPECT_EQ(view.last_text(control_status_line), "SNTP Server Chronobeled 127.0.0.2");
}

TEST_F(SntpServer, SlowNameLookupDelaysNoReply) {
    set_client_name_lookup(held_names);
    const std::uint16_t port = start_sntp_server();
    ASSERT_NE(port, 0);
    udp_client first(client_a), second(client_b);
    sntp_packet reply{};
    ASSERT_TRUE(first.exchange(port, request_with(0x1B, 0), reply));
    ASSERT_TRUE(wait_until([] { return lookups.load() == 1; }));
    // The look-up of the first client hangs; others are answered meanwhile.
    for (int i = 0; i < 20; ++i) ASSERT_TRUE(second.exchange(port, request_with(0x1B, 0), reply)) << i;
    EXPECT_TRUE(status_texts(111).empty());
    lookups_released = true;
    EXPECT_TRUE(wait_until([&] { return !status_texts(111).empty(); }));
    EXPECT_EQ(status_texts(111).front(), "SNTP Server Chronobeled slow.example");
}

// The report thread holds the state: a look-up that outlasts the server
// keeps it alive, and that client is not shown once the server has ended.
TEST_F(SntpServer, ALookUpThatOutlastsTheServerHoldsTheStateAndShowsNothing) {
    set_client_name_lookup(held_names);
    const std::uint16_t port = start_sntp_server();
    ASSERT_NE(port, 0);
    udp_client client(client_a);
    sntp_packet reply{};
    ASSERT_TRUE(client.exchange(port, request_with(0x1B, 0), reply));
    ASSERT_TRUE(wait_until([] { return lookups.load() == 1; }));
    EXPECT_TRUE(stop_servers());
    EXPECT_GT(dirs.owner.use_count(), 1);
    lookups_released = true;
    EXPECT_TRUE(wait_until([&] { return dirs.owner.use_count() == 1; }));
    EXPECT_TRUE(status_texts(111).empty());
}

TEST_F(SntpServer, FloodIsShownAFewTimesASecondAndLoggedOncePerClient) {
    set_client_name_lookup(no_names);
    const std::uint16_t port = start_sntp_server();
    ASSERT_NE(port, 0);
    udp_client busy(client_a), last(client_b);
    const auto started = std::chrono::steady_clock::now();
    sntp_packet reply{};
    int answered = 0;
    for (int i = 0; i < 2000 && std::chrono::steady_clock::now() - started < 3s; ++i)
        answered += busy.exchange(port, request_with(0x1B, 0), reply) ? 1 : 0;
    ASSERT_TRUE(last.exchange(port, request_with(0x1B, 0), reply));
    // The latest client is the one left on the status line.
    EXPECT_TRUE(wait_until([&] { return view.last_text(control_status_line) == "SNTP Server Chronobeled 127.0.0.3"; }));
    const auto elapsed = std::chrono::steady_clock::now() - started;
    EXPECT_GT(answered, 100);
    // At most one status write per quarter second, and each client looked up once.
    EXPECT_LE(status_texts(111).size(), static_cast<std::size_t>(elapsed / 250ms) + 2);
    EXPECT_EQ(lookups.load(), 2);
    // The log names each client, the busy one at most once a second. The
    // line of the last client may follow its status by a moment.
    EXPECT_TRUE(wait_until([&] { return log_text().find("SNTP Server Chronobeled 127.0.0.3\r\n") != std::string::npos; }));
    const std::string log = log_text();
    const auto lines_with = [&](const std::string& what) {
        std::size_t count = 0;
        for (std::size_t at = log.find(what); at != std::string::npos; at = log.find(what, at + 1)) ++count;
        return count;
    };
    EXPECT_EQ(lines_with("SNTP Server Chronobeled 127.0.0.3\r\n"), 1u);
    EXPECT_GE(lines_with("SNTP Server Chronobeled 127.0.0.2\r\n"), 1u);
    EXPECT_LE(lines_with("SNTP Server Chronobeled 127.0.0.2\r\n"), static_cast<std::size_t>(elapsed / 1s) + 1);
}

TEST_F(SntpServer, LoggedOnlyUnderTheServerLogSwitch) {
    set_client_name_lookup(no_names);
    struct switches {
        bool server, disabled, syncs;
        bool logged;
    };
    for (const switches s : {switches{false, false, true, false}, switches{true, true, true, false},
                             switches{true, false, false, true}}) {
        state.settings.log_server = s.server;
        state.settings.log_disabled = s.disabled;
        state.settings.log_syncs = s.syncs;
        view.clear();
        serve_one_client(client_a);
        ASSERT_TRUE(stop_servers());
        state.stop_requested = 0;
        EXPECT_EQ(log_text().find("SNTP Server Chronobeled 127.0.0.2") != std::string::npos, s.logged)
            << s.server << s.disabled << s.syncs;
    }
}

TEST_F(SntpServer, PortTakenShowsThePortErrorAndEnds) {
    // A socket without SO_REUSEADDR keeps others off its port.
    const int holder = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    socklen_t size = sizeof a;
    ASSERT_EQ(bind(holder, reinterpret_cast<const sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(getsockname(holder, reinterpret_cast<sockaddr*>(&a), &size), 0);
    state.sntp_server_port = ntohs(a.sin_port);
    release_status(state);
    start_thread_of(run_sntp_server);
    EXPECT_TRUE(servers_ended());  // without being stopped
    close(holder);
    EXPECT_EQ(view.last_text(control_status_line),
              "SNTP Server Port Error; Restart in Admin mode or disable Windows Time service");
    EXPECT_EQ(status_hold_at(state, tick_count64()), status_hold_stage::text);
    EXPECT_EQ(state.sntp_server_socket.load(), no_socket);
}

TEST_F(SntpServer, StopsWhenIdleAndHandsItsPortBack) {
    for (const bool by_switch : {false, true}) {
        const std::uint16_t port = start_sntp_server();
        ASSERT_NE(port, 0);
        EXPECT_EQ(state.server_state.load(), 2);
        EXPECT_TRUE(by_switch ? switch_servers_off() : stop_servers());
        EXPECT_EQ(state.sntp_server_socket.load(), no_socket);
        // The server closed its socket: the port can be bound without sharing.
        const int probe = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        EXPECT_EQ(bind(probe, reinterpret_cast<const sockaddr*>(&a), sizeof a), 0);
        close(probe);
        state.stop_requested = 0;
        set_flag(state.settings.time_server_enabled, true);
    }
}

TEST_F(SntpServer, StopsWhileFlooded) {
    const std::uint16_t port = start_sntp_server();
    ASSERT_NE(port, 0);
    std::atomic<bool> flooding{true};
    std::atomic<int> sent{0};
    std::thread flood([&] {
        udp_client client(client_a);
        const bytes request(48, 0x1B);
        const auto until = std::chrono::steady_clock::now() + 10s;
        while (flooding && sent < 2'000'000 && std::chrono::steady_clock::now() < until)
            if (client.send(port, request)) ++sent;
    });
    ASSERT_TRUE(wait_until([&] { return sent.load() > 5000; }));
    EXPECT_TRUE(stop_servers());
    flooding = false;
    flood.join();
}

TEST(SntpReply, ServerModeRepliesAreBuiltByteForByte) {
    sntp_packet request{};
    for (std::size_t i = 0; i < request.size(); ++i) request[i] = static_cast<std::uint8_t>(i * 7 + 1);
    // Received at 01..08, sent at 11..18: Reference is the send.
    const sntp_packet reply = make_sntp_reply(request, {0x01020304, 0x05060708}, {0x11121314, 0x15161718});
    const bytes expected{0x1C, 0x02, 0x06, 0xF6, 0, 0, 0, 0x64, 0, 0, 0, 0x64, 0x64, 0, 0, 0,
                         0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18,
                         request[40], request[41], request[42], request[43], request[44], request[45], request[46], request[47],
                         1, 2, 3, 4, 5, 6, 7, 8, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18};
    EXPECT_EQ(bytes(reply.begin(), reply.end()), expected);
}
