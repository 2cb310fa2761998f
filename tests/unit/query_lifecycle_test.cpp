// The life of a query: prepare, run, signal, abort, finish; the socket
// library count; how the server address is found.
#include <gtest/gtest.h>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>
#include "support/loopback_servers.h"
#include "support/query_harness.h"
#include "sys/sockets.h"
#include "sys/threads.h"

using namespace orvane;
using namespace orvane::testing;
using namespace std::chrono_literals;

namespace {
constexpr std::uint32_t march_2024 = 3'918'240'000u;
}

TEST(QueryLifecycle, PrepareDuringAQueryIsRefusedAndEachPhaseWakesTheWorker) {
    time_responder server(time_reply_bytes(march_2024), true);
    query_harness q;
    q.engine.time_port = server.port();
    q.engine.server_index = 3;
    event_handle wake = q.state->worker_event;
    q.start();
    EXPECT_EQ(q.engine.start_index, 3);

    // The query sits at phase 4 waiting for the reply; the event woke us.
    ASSERT_TRUE(server.wait_for_connections(1));
    ASSERT_TRUE(q.wait_for_phase(phase_awaiting_reply));
    EXPECT_TRUE(wait_event(wake, 2000));
    reset_event(wake);

    q.engine.server_index = 7;
    EXPECT_EQ(prepare_query(q.engine), query_not_prepared);
    EXPECT_EQ(q.engine.busy.load(), 1);
    EXPECT_EQ(q.engine.in_progress.load(), 1);
    EXPECT_EQ(q.engine.phase.load(), phase_awaiting_reply);
    EXPECT_EQ(q.engine.start_index, 3);
    finish_query(q.engine);  // ignored while the thread runs
    EXPECT_EQ(q.engine.in_progress.load(), 1);
    EXPECT_EQ(q.engine.phase.load(), phase_awaiting_reply);

    // The reply and the end wake the worker too.
    server.release();
    ASSERT_TRUE(q.join());
    EXPECT_TRUE(wait_event(wake, 0));
    EXPECT_EQ(q.engine.phase.load(), phase_result_valid);
    EXPECT_EQ(q.engine.failed.load(), 0);
    EXPECT_EQ(q.engine.server_seconds, march_2024);
}

TEST(QueryLifecycle, OutcomeIsNeverSeenBeforeTheThreadIsDone) {
    // A watcher reads the engine without locks while queries end, as the
    // worker does: failed or phase 6 must never show with busy still set.
    time_responder good(time_reply_bytes(march_2024));
    time_responder bad(byte_string(4, 0));
    std::atomic<bool> stop{false};
    std::atomic<int> generation{0}, violations{0};
    query_harness q;
    std::thread watcher([&] {
        while (!stop.load()) {
            const int seen = generation.load();
            const bool outcome = q.engine.failed.load() || q.engine.phase.load() == phase_result_valid;
            const bool busy = q.engine.busy.load();
            if (outcome && busy && generation.load() == seen) ++violations;  // same query throughout
        }
    });
    for (int i = 0; i < 40; ++i) {
        q.engine.time_port = i % 2 ? good.port() : bad.port();
        // A new generation before the start: a watcher that read the last
        // query's outcome and then this one's busy does not count it.
        ++generation;
        q.start();
        ASSERT_TRUE(q.join());
        // Counted once the outcome is cleared: a watcher that saw this
        // query's outcome and then the next query's busy sees two counts.
        finish_query(q.engine);
        ++generation;
    }
    stop = true;
    watcher.join();
    EXPECT_EQ(violations.load(), 0);
}

TEST(QueryLifecycle, RunWithoutPrepareFailsWith12) {
    query_harness q;
    run_query(*q.state);
    EXPECT_EQ(q.engine.result_code.load(), query_not_prepared);
    EXPECT_EQ(q.engine.failed.load(), 1);
    EXPECT_EQ(q.engine.phase.load(), phase_prepared);
    EXPECT_EQ(q.engine.busy.load(), 0);
}

TEST(QueryLifecycle, SocketLibraryCountStartsOnceAndCleansUpOnce) {
    query_engine engine;
    EXPECT_EQ(acquire_winsock(engine), query_ok);
    EXPECT_EQ(acquire_winsock(engine), query_ok);
    EXPECT_EQ(engine.winsock_users.load(), 2);
    EXPECT_EQ(release_winsock(engine), query_ok);
    EXPECT_EQ(engine.winsock_users.load(), 1);
    EXPECT_EQ(release_winsock(engine), query_ok);
    EXPECT_EQ(engine.winsock_users.load(), 0);
    EXPECT_EQ(release_winsock(engine), query_not_prepared);
    EXPECT_EQ(engine.winsock_users.load(), 0);
}

TEST(QueryLifecycle, AbortEndsABlockedReceiveWithinASecond) {
    // TIME over TCP and SNTP over UDP, both to servers that never answer.
    time_responder silent_time({}, true);
    sntp_responder silent_sntp = sntp_responder::silent();
    for (const std::int32_t protocol : {protocol_time, protocol_sntp}) {
        query_harness q;
        q.engine.protocol = protocol;
        q.engine.time_port = silent_time.port();
        q.engine.sntp_port = silent_sntp.port();
        q.start();
        ASSERT_TRUE(q.wait_for_phase(phase_awaiting_reply));
        std::this_thread::sleep_for(50ms);  // into the blocking receive
        const auto begin = std::chrono::steady_clock::now();
        EXPECT_EQ(abort_query(q.engine), 0);
        EXPECT_LT(std::chrono::steady_clock::now() - begin, 1s) << protocol;
        EXPECT_EQ(q.engine.busy.load(), 0);
        EXPECT_EQ(q.engine.failed.load(), 1);
        EXPECT_EQ(q.engine.phase.load(), phase_awaiting_reply);
        EXPECT_EQ(q.engine.abort_requested.load(), 1);
        ASSERT_TRUE(q.join());
        finish_query(q.engine);
        EXPECT_EQ(q.engine.abort_requested.load(), 0);
        EXPECT_EQ(q.engine.failed.load(), 0);
        EXPECT_EQ(q.engine.in_progress.load(), 0);
    }
    silent_time.release();
}

namespace {

// A resolver that hangs for up to 10 s, as one for an unreachable name
// server does, then answers 127.0.0.1; the test lets it go early.
struct slow_lookup {
    static inline std::mutex mutex;
    static inline std::condition_variable changed;
    static inline bool entered = false, released = false;

    static bool resolve(const std::string&, std::vector<ip_address>& addresses) {
        std::unique_lock<std::mutex> lock(mutex);
        entered = true;
        changed.notify_all();
        changed.wait_for(lock, 10s, [] { return released; });
        addresses.assign(1, ipv4_loopback);
        return true;
    }
    static void reset() {
        std::lock_guard<std::mutex> lock(mutex);
        entered = released = false;
    }
    static bool wait_entered() {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, 5s, [] { return entered; });
    }
    static void release() {
        std::lock_guard<std::mutex> lock(mutex);
        released = true;
        changed.notify_all();
    }
};

}  // namespace

TEST(QueryLifecycle, AnAbortGivesUpOnAHangingLookupAndItsThreadTouchesNoLaterQuery) {
    time_responder server(time_reply_bytes(march_2024));
    auto state = std::make_shared<chronobel_state>();
    state->worker_event = create_manual_event();
    query_engine& e = state->engine;
    e.protocol = protocol_time;
    e.time_port = server.port();
    e.server_name = "hanging.example";
    slow_lookup::reset();
    set_name_resolver(slow_lookup::resolve);
    ASSERT_EQ(prepare_query(e), query_ok);
    ASSERT_TRUE(start_query_thread(*state));
    ASSERT_TRUE(slow_lookup::wait_entered());

    const auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ(abort_query(e), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 1s);
    EXPECT_EQ(e.busy.load(), 0);
    EXPECT_EQ(e.failed.load(), 1);
    finish_query(e);

    // The next query works while the first still hangs in its look-up.
    e.server_name = "127.0.0.1";
    ASSERT_EQ(prepare_query(e), query_ok);
    ASSERT_TRUE(start_query_thread(*state));
    for (int i = 0; i < 500 && e.busy.load(); ++i) std::this_thread::sleep_for(10ms);
    ASSERT_EQ(e.phase.load(), phase_result_valid);
    EXPECT_EQ(e.server_seconds, march_2024);

    // The look-up answers now; its thread ends without touching the engine:
    // it never connects, and the result, the names and the socket stay.
    slow_lookup::release();
    EXPECT_TRUE(join_program_threads(*state, 5000).empty());
    set_name_resolver(nullptr);
    EXPECT_EQ(server.connections(), 1);
    EXPECT_EQ(e.phase.load(), phase_result_valid);
    EXPECT_EQ(e.failed.load(), 0);
    EXPECT_EQ(e.result_code.load(), query_ok);
    EXPECT_EQ(e.server_name, "127.0.0.1");
    EXPECT_EQ(e.server_address_text, "127.0.0.1");
    EXPECT_EQ(e.query_socket.load(), no_socket);
    EXPECT_EQ(e.winsock_users.load(), 0);
}

TEST(QueryLifecycle, AbortAfterTheQueryLeavesLaterSocketsAlone) {
    // The finished query's socket number is free for reuse; an abort that
    // comes late must not reach the connection that now holds it.
    time_responder server(time_reply_bytes(march_2024));
    query_harness q;
    q.engine.time_port = server.port();
    EXPECT_EQ(q.run(), query_ok);
    const socket_handle listener = open_socket(socket_transport::tcp);
    ASSERT_TRUE(bind_socket(listener, ipv4_loopback, 0));
    ASSERT_TRUE(listen_socket(listener, 1));
    const socket_handle client = open_socket(socket_transport::tcp);
    ASSERT_TRUE(connect_socket(client, ipv4_loopback, bound_port(listener)));
    const socket_handle accepted = accept_connection(listener, nullptr);
    ASSERT_NE(accepted, no_socket);
    EXPECT_EQ(abort_query(q.engine), 0);
    const char hello[] = "still here";
    char got[sizeof hello] = {};
    EXPECT_EQ(send_bytes(client, hello, sizeof hello), static_cast<int>(sizeof hello));
    EXPECT_EQ(receive_bytes(accepted, got, sizeof got), static_cast<int>(sizeof hello));
    EXPECT_STREQ(got, hello);
    for (socket_handle s : {accepted, client, listener}) close_socket(s);
}

TEST(QueryLifecycle, ListEntriesAreDottedTextOrNamesAndManualEntriesAreUsedAsGiven) {
    time_responder server(time_reply_bytes(march_2024));
    struct source_case {
        std::int32_t source;
        const char* list_name;
        bool looked_up;
    };
    const source_case cases[] = {
        {source_list, "127.0.0.1", false},
        {source_list, "localhost", true},  // from the hosts file
        {source_manual_a, "ignored.example", false},
        {source_manual_b, "ignored.example", false},
    };
    for (const source_case& c : cases) {
        query_harness q;
        q.engine.time_port = server.port();
        q.engine.server_source = c.source;
        q.engine.server_name = c.list_name;
        q.engine.manual_a = "127.0.0.1";
        q.engine.manual_b = "127.0.0.1";
        const std::uint32_t lookups = name_lookups_made();
        EXPECT_EQ(q.run(), query_ok) << c.list_name;
        EXPECT_EQ(name_lookups_made() - lookups, c.looked_up ? 1u : 0u) << c.list_name;
        EXPECT_EQ(q.engine.server_address_text, "127.0.0.1");
        EXPECT_EQ(q.engine.server_name, c.source == source_list ? c.list_name : "127.0.0.1");
    }
}

namespace {
// A name whose first address has no server and whose second has one.
bool first_address_silent(const std::string&, std::vector<ip_address>& addresses) {
    addresses = {ipv6_loopback, ipv4_loopback};
    return true;
}
}  // namespace

TEST(QueryLifecycle, Ipv6EntriesAreAskedAndANamesAddressesAreTriedInTurn) {
    const time_responder time6(time_reply_bytes(march_2024), false, ipv6_loopback);
    const sntp_responder sntp6(sntp_reply_now, ipv6_loopback);
    for (const char* entry : {"::1", "[::1]", "0:0::1"}) {
        for (const std::int32_t protocol : {protocol_time, protocol_sntp}) {
            query_harness q;
            q.engine.protocol = protocol;
            q.engine.time_port = time6.port();
            q.engine.sntp_port = sntp6.port();
            q.engine.server_name = entry;
            const std::uint32_t lookups = name_lookups_made();
            EXPECT_EQ(q.run(), query_ok) << entry;
            EXPECT_EQ(name_lookups_made(), lookups) << entry;
            EXPECT_EQ(q.engine.server_address_text, "::1") << entry;
        }
    }
    // The name's IPv6 address refuses (TIME) or is silent (SNTP, nothing
    // listens there): the IPv4 address behind it answers.
    const time_responder time4(time_reply_bytes(march_2024));
    const sntp_responder sntp4(sntp_reply_now);
    set_name_resolver(first_address_silent);
    for (const std::int32_t protocol : {protocol_time, protocol_sntp}) {
        query_harness q;
        q.engine.protocol = protocol;
        q.engine.time_port = time4.port();
        q.engine.sntp_port = sntp4.port();
        q.engine.server_name = "two.example";
        EXPECT_EQ(q.run(), query_ok) << protocol;
        EXPECT_EQ(q.engine.server_address_text, "127.0.0.1");
        EXPECT_EQ(q.engine.server_name, "two.example");
    }
    set_name_resolver(nullptr);
}

TEST(QueryLifecycle, NamesWithoutAnAddressFailWith8) {
    // An empty label, which no resolver can answer without a query off this
    // machine, and IPv6 text that is no address.
    for (const char* name : {"no-such-host..invalid", "[::1"}) {
        query_harness q;
        q.engine.server_name = name;
        EXPECT_EQ(q.run(), query_unresolved) << name;
        EXPECT_EQ(q.engine.failed.load(), 1);
        EXPECT_EQ(q.engine.phase.load(), phase_connecting);
        EXPECT_EQ(q.engine.query_socket.load(), no_socket);
        EXPECT_EQ(q.engine.winsock_users.load(), 0);
    }
}

TEST(QueryLifecycle, StartedThreadHoldsItsOwnState) {
    time_responder server(time_reply_bytes(march_2024), true);
    std::weak_ptr<chronobel_state> watch;
    {
        auto state = std::make_shared<chronobel_state>();
        state->engine.server_name = "127.0.0.1";
        state->engine.time_port = server.port();
        watch = state;
        ASSERT_EQ(prepare_query(state->engine), query_ok);
        ASSERT_TRUE(start_query_thread(*state));
        ASSERT_TRUE(server.wait_for_connections(1));
    }  // the test's owner is gone; the query thread still holds one
    EXPECT_FALSE(watch.expired());
    server.release();
    for (int i = 0; i < 500 && !watch.expired(); ++i) std::this_thread::sleep_for(10ms);
    EXPECT_TRUE(watch.expired());
}

TEST(QueryLifecycle, SocketErrorsMapToResultCodes) {
    ASSERT_TRUE(start_socket_library());
    const socket_handle unconnected = open_socket(socket_transport::tcp);
    char byte = 0;
    EXPECT_EQ(receive_bytes(unconnected, &byte, 1), -1);
    EXPECT_EQ(last_socket_error(), socket_error_not_connected);
    EXPECT_EQ(map_socket_error(), query_not_connected);
    close_socket(unconnected);
    const socket_handle udp = open_socket(socket_transport::udp);
    EXPECT_EQ(send_bytes(udp, &byte, 1), -1);  // no destination
    EXPECT_EQ(map_socket_error(), query_socket_error);
    close_socket(udp);
    stop_socket_library();
}
