// The program's threads: joins with a time limit, and an owner of the state
// for every thread, however late it starts.
#include <gtest/gtest.h>
#include <atomic>
#include <chrono>
#include <thread>
#include "core/state.h"
#include "sys/threads.h"

using namespace orvane;
using namespace std::chrono_literals;

namespace {

void wait_for_signal(void* event) { wait_event(event, 10'000); }

// An event that the last of its holders closes, so that a thread still
// returning from a wait on it never meets a closed one.
std::shared_ptr<void> shared_event() { return {create_manual_event(), close_event}; }

bool wait_until_expired(const std::weak_ptr<chronobel_state>& watch) {
    for (int i = 0; i < 500 && !watch.expired(); ++i) std::this_thread::sleep_for(10ms);
    return watch.expired();
}

}  // namespace

TEST(ProgramThreads, AJoinWaitsNoLongerThanItsLimitAndJoinsOnceTheThreadHasEnded) {
    event_handle release = create_manual_event();
    joinable_thread thread;
    EXPECT_TRUE(thread.join_for(0));  // none held
    ASSERT_TRUE(thread.start(wait_for_signal, release));
    EXPECT_FALSE(thread.start(wait_for_signal, release));  // one at a time
    EXPECT_FALSE(thread.join_for(50));
    EXPECT_TRUE(thread.joinable());
    joinable_thread moved = std::move(thread);
    EXPECT_FALSE(thread.joinable());
    set_event(release);
    EXPECT_TRUE(moved.join_for(5000));
    EXPECT_FALSE(moved.joinable());
    close_event(release);
}

TEST(ProgramThreads, AThreadStartedAfterTheGlobalsAreReleasedKeepsTheStateAlive) {
    create_state();
    std::weak_ptr<chronobel_state> watch = g_state;
    const std::shared_ptr<void> go = shared_event();
    std::atomic<std::uint32_t> seen_size{0};
    // A worker that, once the program's globals are gone, starts a query
    // thread that uses the state after the worker itself has ended.
    ASSERT_TRUE(start_program_thread(*g_state, program_thread::worker, [go, &seen_size](chronobel_state& s) {
        wait_event(go.get(), 10'000);
        start_program_thread(s, program_thread::query, [&seen_size](chronobel_state& late) {
            std::this_thread::sleep_for(20ms);
            late.status_hold_until = 7;
            seen_size = late.settings.record_size;
        });
    }));
    g_state.reset();
    EXPECT_FALSE(watch.expired());
    set_event(go.get());
    for (int i = 0; i < 500 && seen_size.load() == 0; ++i) std::this_thread::sleep_for(10ms);
    EXPECT_EQ(seen_size.load(), 332u);
    EXPECT_TRUE(wait_until_expired(watch));
}

TEST(ProgramThreads, TheEndJoinsEveryThreadNamesOneThatOverrunsAndStartsNoMore) {
    create_state();
    std::weak_ptr<chronobel_state> watch = g_state;
    const std::shared_ptr<void> release = shared_event();
    std::atomic<int> ended{0};
    ASSERT_TRUE(start_program_thread(*g_state, program_thread::time_server, [&ended](chronobel_state&) { ++ended; }));
    ASSERT_TRUE(start_program_thread(*g_state, program_thread::sntp_server, [release](chronobel_state&) {
        wait_event(release.get(), 10'000);
    }));
    const auto still_running = join_program_threads(*g_state, 100);
    ASSERT_EQ(still_running.size(), 1u);
    EXPECT_STREQ(still_running[0], "SNTP server");
    EXPECT_EQ(ended.load(), 1);
    EXPECT_FALSE(start_program_thread(*g_state, program_thread::query, [&ended](chronobel_state&) { ++ended; }));
    // The late thread still holds the state; it goes when that thread ends.
    g_state.reset();
    EXPECT_FALSE(watch.expired());
    set_event(release.get());
    EXPECT_TRUE(wait_until_expired(watch));
    EXPECT_EQ(ended.load(), 1);
}
