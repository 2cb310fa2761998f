// A state for tests of the built-in servers: its files in temporary
// directories, the UI strings loaded, "Server" on, both ports at 0 (the
// servers bind free ports, which the test reads back), a recording view, and
// server threads that the fixture stops the way the worker does.
#pragma once
#include <gtest/gtest.h>
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>
#include "support/loopback_clients.h"
#include "support/recording_view.h"
#include "support/state_dirs.h"

namespace orvane::testing {

struct server_fixture : ::testing::Test {
    state_in_temp_dirs dirs;
    chronobel_state& state = dirs.state;
    recording_view view;

    void SetUp() override;
    void TearDown() override;

    // Starts a server thread and returns the port it has bound (0 when it
    // did not bind within 10 s). The TIME server is also listening then.
    std::uint16_t start_sntp_server();
    std::uint16_t start_time_server();
    // Starts a server thread without waiting for anything.
    void start_thread_of(void (*server)(chronobel_state&));

    // Stops the servers as the program does when it ends (stop_requested,
    // then close_server_sockets); true when server_state is back at 0 within
    // 10 s. The threads are joined.
    bool stop_servers();
    // The same by switching "Server" off, as the options page does.
    bool switch_servers_off();
    // Joins the threads once server_state is 0; false if it does not get there.
    bool servers_ended();

    // Writes a byte setting as the options page would while servers read it.
    static void set_flag(std::uint8_t& flag, bool on) { std::atomic_ref<std::uint8_t>(flag).store(on ? 1 : 0); }

    // The status line texts that start with UI string `number`.
    std::vector<std::string> status_texts(int number) const;
    std::string log_text() const { return dirs.data.exists("dLog.txt") ? dirs.data.read("dLog.txt") : ""; }

    std::vector<std::thread> threads;
};

}  // namespace orvane::testing
