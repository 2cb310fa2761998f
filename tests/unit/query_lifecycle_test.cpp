// The life of a query: prepare, run, signal, abort, finish; the socket
// library count; how the server address is found.
#include <gtest/gtest.h>
#include <atomic>
#include <chrono>
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
        q.start();
        ASSERT_TRUE(q.join());
        // The next generation begins once this query's outcome is cleared:
        // until then a watcher may still read it, beside the next one's busy.
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

TEST(QueryLifecycle, NamesWithoutAnIpv4AddressFailWith8) {
    // An empty label, which no resolver can answer, and an IPv6-only address;
    // neither sends a query off this machine to find that out.
    for (const char* name : {"no-such-host..invalid", "::1"}) {
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
    const std::shared_ptr<chronobel_state> saved = g_thread_state;
    std::weak_ptr<chronobel_state> watch;
    {
        auto state = std::make_shared<chronobel_state>();
        state->engine.server_name = "127.0.0.1";
        state->engine.time_port = server.port();
        g_thread_state = state;
        watch = state;
        ASSERT_EQ(prepare_query(state->engine), query_ok);
        ASSERT_TRUE(start_query_thread(*state));
        EXPECT_NE(query_thread, nullptr);
        ASSERT_TRUE(server.wait_for_connections(1));
        g_thread_state = saved;
    }  // the test's owners are gone; the query thread still holds one
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
