// A whole program state for tests of operations: the global state (threads
// start with owners of their own), its files in temporary directories, the UI
// strings loaded, a recording view, and servers of the list on 127.0.0.1.
#pragma once
#include <gtest/gtest.h>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>
#include "core/paths.h"
#include "core/state.h"
#include "data/ui_strings.h"
#include "engine/query.h"
#include "engine/worker.h"
#include "support/recording_view.h"
#include "support/temp_dir.h"

namespace orvane::testing {

struct operation_fixture : ::testing::Test {
    temp_dir program, data;
    recording_view view;
    chronobel_state* state = nullptr;

    void SetUp() override {
        create_state();
        state = g_state.get();
        split_path(state->program_path, program.dir() + L"chronobel");
        split_path(state->data_path, data.dir());
        load_ui_strings(*state, 250, L"Strings.txt");
        apply_default_settings(*state);
        state->set_view(&view);
        running_as_service = 0;
        window_mode = window_shown;
        status_refresh_ms = 100;
        server_list_unusable = 0;
    }

    // Ends every thread as the program does, and joins them, before the
    // view and the files go.
    void TearDown() override {
        stop_starting_program_threads(*state);
        state->stop_requested = 1;
        set_event_if_any();
        close_server_sockets(*state);
        if (state->engine.busy) abort_query(state->engine);
        EXPECT_TRUE(join_program_threads(*state, 5000).empty());
        set_operation_end_pause(nullptr);
        running_as_service = 0;
        window_mode = window_shown;
        g_state.reset();
    }

    // Ends a worker that a test started (at most 5 s).
    void stop_worker() {
        state->stop_requested = 1;
        set_event_if_any();
        wait_until([this] { return state->worker_running == 0; }, 5000);
    }

    // The list file with these entries, one per CR LF line.
    void write_list(const std::vector<std::string>& entries) {
        std::string text = "#test servers\r\n";
        for (const std::string& e : entries) text += e + "\r\n";
        program.write("ServFile.txt", text);
    }

    static bool wait_until(const std::function<bool()>& ready, int ms) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (!ready()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }

private:
    void set_event_if_any();
};

}  // namespace orvane::testing
