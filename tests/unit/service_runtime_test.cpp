// The service's life as the service manager sees it: every status report
// from "start pending" to "stopped", the controls, and a start that fails.
#include <gtest/gtest.h>
#include <mutex>
#include <thread>
#include <vector>
#include "app/startup.h"
#include "core/paths.h"
#include "platform/service_control.h"
#include "platform/service_runtime.h"
#include "support/worker_fixture.h"
#include "support/test_clock.h"

using namespace orvane;
using namespace orvane::testing;

namespace {

struct report {
    service_status_record status;
    bool worker_running;  // at the moment of the report
};

std::mutex reports_mutex;
std::vector<report> reports;

void record_report(const service_status_record& status) {
    std::lock_guard<std::mutex> lock(reports_mutex);
    reports.push_back({status, g_state->worker_running != 0});
}

struct service_fixture : operation_fixture {
    std::thread service_main;
    std::uint32_t exit_code = 0xFFFFFFFF;

    void SetUp() override {
        operation_fixture::SetUp();
        state->settings.autosync_enabled = 0;
        state->settings.time_server_enabled = 0;
        std::lock_guard<std::mutex> lock(reports_mutex);
        reports.clear();
    }
    void TearDown() override {
        if (service_main.joinable()) {
            handle_service_control(*state, service_control_stop);
            service_main.join();
        }
        operation_fixture::TearDown();
    }
    void start(service_worker_starter starter) {
        service_main = std::thread([this, starter] { exit_code = run_service(*state, record_report, starter); });
    }
    std::vector<report> taken() {
        std::lock_guard<std::mutex> lock(reports_mutex);
        return reports;
    }
    bool reported(std::uint32_t state_value, std::size_t count = 1) {
        return wait_until(
            [&] {
                std::size_t n = 0;
                for (const report& r : taken()) n += r.status.current_state == state_value;
                return n >= count;
            },
            5000);
    }
};

void expect_status(const service_status_record& s, std::uint32_t state, std::uint32_t controls, std::uint32_t check_point,
                   std::uint32_t wait_hint) {
    EXPECT_EQ(s.service_type, 0x10u);
    EXPECT_EQ(s.current_state, state);
    EXPECT_EQ(s.controls_accepted, controls);
    EXPECT_EQ(s.check_point, check_point);
    EXPECT_EQ(s.wait_hint, wait_hint);
}

// The service-mode fields as the worker finds them when it starts.
struct fields_at_start {
    int running_as_service, window_mode, status_hold_ticks;
    std::int64_t due_period_ms;
    bool stop_event;
} at_start;

int real_start_worker(chronobel_state& s) {
    at_start = {running_as_service, window_mode, s.status_hold_ticks, s.due_period_ms, s.service_stop_event != nullptr};
    return start_worker(s);
}

}  // namespace

TEST_F(service_fixture, StartsInServiceModeAnswersTheControlsAndStopsOnceTheWorkerHasEnded) {
    state->due_period_ms = 1234;
    start(real_start_worker);
    ASSERT_TRUE(reported(service_running));
    EXPECT_EQ(at_start.running_as_service, 1);
    EXPECT_EQ(at_start.window_mode, window_service);
    EXPECT_EQ(at_start.status_hold_ticks, 99);
    EXPECT_EQ(at_start.due_period_ms, 0);
    EXPECT_TRUE(at_start.stop_event);
    ASSERT_TRUE(wait_until([&] { return state->worker_running == 1; }, 5000));

    handle_service_control(*state, service_control_interrogate);
    ASSERT_TRUE(reported(service_running, 2));
    handle_service_control(*state, service_control_stop);
    service_main.join();

    const std::vector<report> all = taken();
    ASSERT_GE(all.size(), 5u);
    expect_status(all[0].status, service_start_pending, 0, 0, 3000);
    expect_status(all[1].status, service_running, service_accepts_stop, 0, 0);
    expect_status(all[2].status, service_running, service_accepts_stop, 0, 0);
    expect_status(all[3].status, service_stop_pending, service_accepts_stop, 0, 0);
    // "Stopped" comes last, once the worker has ended, with exit code 0 (the
    // check points before it are counted in the test of a worker that hangs).
    expect_status(all.back().status, service_stopped, 0, 0, 0);
    EXPECT_FALSE(all.back().worker_running);
    EXPECT_EQ(all.back().status.win32_exit_code, 0u);
    EXPECT_EQ(all.back().status.service_specific_exit_code, 0u);
    EXPECT_EQ(exit_code, 0u);
    EXPECT_EQ(state->stop_requested.load(), 1);
}

TEST_F(service_fixture, AWorkerThatCannotStartStopsTheServiceWithAFailure) {
    start([](chronobel_state&) { return int{worker_not_started}; });
    service_main.join();
    const std::vector<report> all = taken();
    ASSERT_EQ(all.size(), 2u);
    expect_status(all[0].status, service_start_pending, 0, 0, 3000);
    expect_status(all[1].status, service_stopped, 0, 0, 0);
    EXPECT_EQ(all[1].status.win32_exit_code, 1066u);  // ERROR_SERVICE_SPECIFIC_ERROR
    EXPECT_EQ(all[1].status.service_specific_exit_code, 20u);
    EXPECT_EQ(exit_code, 1066u);
}

TEST_F(service_fixture, AWorkerThatDoesNotEndGetsTenCheckPointsHalfASecondApart) {
    scoped_test_clock guard;
    guard.clock.instant_sleep = true;
    guard.clock.tick_frozen = true;
    // A worker that never ends.
    start([](chronobel_state& s) {
        s.worker_running = 1;
        return 0;
    });
    ASSERT_TRUE(reported(service_running));
    const std::uint32_t before = guard.clock.frozen_tick;
    handle_service_control(*state, service_control_stop);
    service_main.join();
    const std::vector<report> all = taken();
    ASSERT_EQ(all.size(), 14u);  // start pending, running, stop pending, 10 check points, stopped
    for (std::uint32_t attempt = 0; attempt < 10; ++attempt)
        expect_status(all[3 + attempt].status, service_stop_pending, service_accepts_stop, attempt, 1000);
    EXPECT_EQ(all.back().status.current_state, service_stopped);
    EXPECT_EQ(guard.clock.frozen_tick - before, 5000u);
    state->worker_running = 0;
}

TEST(ServiceSwitches, WithoutTheServiceManagerBothSwitchesFail) {
    // Here, as for a user without administrative rights on Windows, the
    // service manager cannot be opened: neither switch may claim success.
    chronobel_state state;
    state.exe_name = L"chronobel";
    split_path(state.program_path, L"/opt/chronobel/chronobel");
    EXPECT_EQ(remove_own_service(), 11);
    EXPECT_EQ(install_own_service(state), 11);
    EXPECT_EQ(service_command_line(state), L"\"/opt/chronobel/chronobel\" /x");
}
