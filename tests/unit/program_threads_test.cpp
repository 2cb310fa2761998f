// The program's threads: joins with a time limit, and an owner of the state
// for every thread, however late it starts.
#include <gtest/gtest.h>
#include <atomic>
#include <chrono>
#include <thread>
#include "core/state.h"
#include "sys/address_watch.h"
#include "sys/threads.h"
#ifndef _WIN32
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cstdlib>
#endif

using namespace orvane;
using namespace std::chrono_literals;

namespace {

// The child's exit code when it cannot make its own network.
constexpr int watch_cannot_run = 77;

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

#ifndef _WIN32
// The address watch hears a new address and ends within its limit. In a
// child process of its own network namespace, so that the machine's own
// interfaces are never touched.
TEST(ProgramThreads, TheAddressWatchHearsANewAddressAndStops) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (unshare(CLONE_NEWNET) != 0) _exit(watch_cannot_run);
        std::atomic<int> heard{0};
        address_watch watch;
        if (!watch.start([](void* n) { ++*static_cast<std::atomic<int>*>(n); }, &heard)) _exit(watch_cannot_run);
        if (std::system("ip link set lo up && ip addr add 10.200.0.1/32 dev lo") != 0) _exit(watch_cannot_run);
        for (int i = 0; i < 500 && heard == 0; ++i) std::this_thread::sleep_for(10ms);
        watch.stop();
        _exit(heard > 0 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == watch_cannot_run) GTEST_SKIP() << "no network namespace of its own here";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "no new address heard";
}
#endif
