#include <gtest/gtest.h>
#include "sys/clock.h"
#include "support/test_clock.h"
#include "sys/time_types.h"

using namespace orvane;

TEST(TimeTypes, CalendarConversionsMatchKnownInstants) {
    struct known { filetime ft; system_time st; };
    const known cases[] = {
        {0, {1601, 1, 1, 1, 0, 0, 0, 0}},
        {E1900, {1900, 1, 1, 1, 0, 0, 0, 0}},
        // 2020-01-01 12:00:00.500 UTC, a Wednesday
        {E1900 + 3'786'868'800ULL * 10'000'000 + 5'000'000, {2020, 1, 3, 1, 12, 0, 0, 500}},
        // 2036-02-07 06:28:16 UTC, where the 32-bit seconds wrap
        {E1900 + (1ULL << 32) * 10'000'000, {2036, 2, 4, 7, 6, 28, 16, 0}},
        {E1900 + 4'107'456'000ULL * 10'000'000, {2030, 2, 4, 28, 0, 0, 0, 0}},
        {E1900 + 3'160'771'200ULL * 10'000'000, {2000, 2, 2, 29, 0, 0, 0, 0}},
    };
    for (const known& k : cases) {
        system_time st = filetime_to_system_time(k.ft);
        EXPECT_EQ(st.year, k.st.year);
        EXPECT_EQ(st.month, k.st.month);
        EXPECT_EQ(st.day, k.st.day) << k.ft;
        EXPECT_EQ(st.day_of_week, k.st.day_of_week) << k.ft;
        EXPECT_EQ(st.hour, k.st.hour);
        EXPECT_EQ(st.minute, k.st.minute);
        EXPECT_EQ(st.second, k.st.second);
        EXPECT_EQ(st.milliseconds, k.st.milliseconds);
        filetime back = 1;
        ASSERT_TRUE(system_time_to_filetime(k.st, back));
        EXPECT_EQ(back, k.ft);
    }
    filetime unused = 0;
    EXPECT_FALSE(system_time_to_filetime({2023, 2, 0, 29, 0, 0, 0, 0}, unused));  // not a leap year
    EXPECT_TRUE(system_time_to_filetime({2024, 2, 0, 29, 0, 0, 0, 0}, unused));
    EXPECT_FALSE(system_time_to_filetime({2100, 2, 0, 29, 0, 0, 0, 0}, unused));
    EXPECT_FALSE(system_time_to_filetime({2024, 13, 0, 1, 0, 0, 0, 0}, unused));
    EXPECT_FALSE(system_time_to_filetime({2024, 1, 0, 1, 24, 0, 0, 0}, unused));
}

TEST(TestClock, StandsInForReadingAndSettingTheClock) {
    scoped_test_clock guard;
    test_clock& clock = guard.clock;
    const filetime noon = E1900 + 3'786'868'800ULL * 10'000'000;
    clock.freeze_at(noon);
    clock.local_offset_minutes = 90;
    EXPECT_EQ(system_time_now(), noon);
    EXPECT_EQ(filetime_to_local(noon), noon + 90ULL * 600'000'000);
    EXPECT_EQ(local_time_now().hour, 13);
    EXPECT_EQ(local_time_now().minute, 30);

    clock.tick_frozen = true;
    clock.frozen_tick = 0xFFFFFFF0u;
    EXPECT_EQ(tick_count(), 0xFFFFFFF0u);
    clock.instant_sleep = true;
    sleep_ms(0x20);
    EXPECT_EQ(tick_count(), 0x10u);  // wraps like the real tick count

    const system_time later{2021, 6, 0, 1, 8, 0, 0, 250};
    ASSERT_TRUE(set_system_time(later));
    EXPECT_EQ(system_time_now_record().year, 2021);
    EXPECT_EQ(system_time_now_record().milliseconds, 250);
    clock.refuse_sets = true;
    EXPECT_FALSE(set_system_time(later));
    ASSERT_EQ(clock.recorded_sets().size(), 1u);
    EXPECT_EQ(clock.recorded_sets()[0].month, 6);
}

TEST(TestClock, RealClockIsReadWhenNoneIsInstalled) {
    const filetime a = system_time_now();
    // Later than 2020 and earlier than 2100: a plausible reading.
    EXPECT_GT(a, E1900 + 3'786'868'800ULL * 10'000'000);
    EXPECT_LT(a, E1900 + 6'311'433'600ULL * 10'000'000);
}
