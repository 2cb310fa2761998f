// The clock seam and the time zone on Windows agree with the system's own
// calls, and setting the time reaches only the test clock.
#include <gtest/gtest.h>
#include <windows.h>
#include <cstdlib>
#include <cstring>
#include "sys/clock.h"
#include "support/test_clock.h"
#include "sys/timezone.h"

using namespace orvane;

namespace {

filetime system_file_time() {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    return make_filetime(now.dwHighDateTime, now.dwLowDateTime);
}

filetime from_record(const SYSTEMTIME& st) {
    FILETIME f{};
    SystemTimeToFileTime(&st, &f);
    return make_filetime(f.dwHighDateTime, f.dwLowDateTime);
}

constexpr filetime one_ms = 10'000;

}  // namespace

TEST(WindowsClock, SystemTimeFollowsTheSystemClock) {
    // The system call may move in steps of 15.6 ms; the seam reads finer.
    const filetime before = system_file_time();
    const filetime now = system_time_now();
    const filetime after = system_file_time();
    EXPECT_GE(now + 20 * one_ms, before);
    EXPECT_LE(now, after + 20 * one_ms);

    SYSTEMTIME local{};
    GetLocalTime(&local);
    const system_time seam_local = local_time_now();
    filetime seam = 0;
    ASSERT_TRUE(system_time_to_filetime(seam_local, seam));
    EXPECT_LT(std::llabs(static_cast<long long>(seam - from_record(local))), 2000 * static_cast<long long>(one_ms));

    const std::uint32_t ticks = GetTickCount();
    EXPECT_LT(tick_count() - ticks, 2000u);  // wraps like the system's count
}

TEST(WindowsClock, LocalConversionAgreesWithTheSystemAcrossTheYear) {
    const filetime now = system_file_time();
    // Now, and the middle of each month of a recent year on both sides of
    // any daylight-saving change.
    std::vector<filetime> instants{now};
    for (WORD month = 1; month <= 12; ++month) {
        SYSTEMTIME st{2024, month, 0, 15, 12, 30, 0, 0};
        instants.push_back(from_record(st));
    }
    for (filetime utc : instants) {
        FILETIME in{low_word(utc), high_word(utc)}, out{};
        ASSERT_TRUE(FileTimeToLocalFileTime(&in, &out));
        EXPECT_EQ(filetime_to_local(utc), make_filetime(out.dwHighDateTime, out.dwLowDateTime));
    }
}

TEST(WindowsClock, SettingTheTimeReachesOnlyTheTestClock) {
    scoped_test_clock test;
    const filetime real_before = system_file_time();
    const system_time target{2001, 2, 0, 3, 4, 5, 6, 7};
    ASSERT_TRUE(set_system_time(target));
    const std::vector<system_time> sets = test.clock.recorded_sets();
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(std::memcmp(&sets[0], &target, sizeof target), 0);
    // The seam now reads the time that was set...
    filetime wanted = 0;
    ASSERT_TRUE(system_time_to_filetime(target, wanted));
    EXPECT_LT(system_time_now() - wanted, 60'000 * one_ms);
    // ...and the system's clock has not moved.
    const filetime real_after = system_file_time();
    EXPECT_GE(real_after, real_before);
    EXPECT_LT(real_after - real_before, 60'000 * one_ms);

    test.clock.refuse_sets = true;
    EXPECT_FALSE(set_system_time(target));
    EXPECT_EQ(test.clock.recorded_sets().size(), 1u);
}

TEST(WindowsTimeZone, TheCurrentZoneIsTheSystemsRecordByteForByte) {
    TIME_ZONE_INFORMATION system{};
    GetTimeZoneInformation(&system);
    const time_zone_information zone = current_time_zone();
    static_assert(sizeof zone == sizeof system);
    EXPECT_EQ(std::memcmp(&zone, &system, sizeof zone), 0);
    EXPECT_EQ(zone.bias, system.Bias);
    EXPECT_EQ(zone.daylight_date.month, system.DaylightDate.wMonth);
}
