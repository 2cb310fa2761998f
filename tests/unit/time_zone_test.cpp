#include <gtest/gtest.h>
#include <climits>
#include <cstring>
#include "core/paths.h"
#include "data/ui_strings.h"
#include "support/recording_view.h"
#include "support/temp_dir.h"
#include "support/test_zone.h"
#include "support/test_clock.h"
#include "engine/time_zone_check.h"
#include "ui/time_zone_text.h"

using namespace orvane;
using orvane::testing::make_zone;
using orvane::testing::recording_view;
using orvane::testing::scoped_test_zone;
using orvane::testing::temp_dir;

namespace {

constexpr system_time day(int year, int month, int day_of_month) {
    return {static_cast<std::uint16_t>(year), static_cast<std::uint16_t>(month), 0,
            static_cast<std::uint16_t>(day_of_month), 0, 0, 0, 0};
}
// The n-th (5: last) `weekday` of `month`, at 02:00.
constexpr system_time rule(int month, int weekday, int week) {
    return {0, static_cast<std::uint16_t>(month), static_cast<std::uint16_t>(weekday),
            static_cast<std::uint16_t>(week), 2, 0, 0, 0};
}
std::string ymd(const std::optional<system_time>& d) {
    if (!d) return "none";
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u/%u", d->year, d->month, d->day, d->day_of_week);
    return text;
}
bool same_zone(const time_zone_information& a, const time_zone_information& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace

TEST(TimeZoneText, TransitionDatesFollowTheCalendarAndBiasesAreSigned) {
    // 2021: March 7 is a Sunday, so the second Sunday is the 14th, not the 7th.
    EXPECT_EQ(ymd(transition_date(rule(3, 0, 2), day(2021, 1, 15))), "2021-03-14/0");
    // 2032 is a leap year whose February 29 is a Sunday: the last Sunday.
    EXPECT_EQ(ymd(transition_date(rule(2, 0, 5), day(2032, 2, 1))), "2032-02-29/0");
    EXPECT_EQ(ymd(transition_date(rule(2, 0, 5), day(2031, 2, 1))), "2031-02-23/0");
    // The last Sunday of a 31-day month may be its last day.
    EXPECT_EQ(ymd(transition_date(rule(10, 0, 5), day(2021, 6, 1))), "2021-10-31/0");
    // A month already gone is next year's; the current month stays this year's.
    EXPECT_EQ(ymd(transition_date(rule(3, 0, 2), day(2021, 11, 1))), "2022-03-13/0");
    EXPECT_EQ(ymd(transition_date(rule(3, 0, 2), day(2021, 3, 30))), "2021-03-14/0");
    // A rule with a year is that date; one naming no date gives nothing.
    EXPECT_EQ(ymd(transition_date({2010, 4, 0, 5, 0, 0, 0, 0}, day(2021, 1, 1))), "2010-04-05/1");
    EXPECT_EQ(ymd(transition_date({2010, 2, 0, 30, 0, 0, 0, 0}, day(2021, 1, 1))), "none");

    // The whole text, from today's local date: the time, a blank, the short date.
    scoped_test_clock clock;
    filetime mid_january = 0;
    system_time_to_filetime({2021, 1, 5, 15, 12, 0, 0, 0}, mid_january);
    clock.clock.freeze_at(mid_january);
    EXPECT_EQ(format_transition_date(rule(3, 0, 2), "None"), "02:00:00 03/14/21");
    EXPECT_EQ(format_transition_date(rule(0, 0, 0), "None"), "None");

    for (auto [number, text] : {std::pair{0, "0"}, {-330, "-330"}, {INT_MAX, "2147483647"}, {INT_MIN, "-2147483648"}})
        EXPECT_EQ(format_signed(number), text);
}

namespace {

struct TimeZoneLock : ::testing::Test {
    temp_dir dir;
    scoped_test_zone guard;
    orvane::testing::test_zone& zone = guard.zone;
    chronobel_state state;
    recording_view view;
    const time_zone_information berlin =
        make_zone(-60, u"W. Europe Standard Time", u"W. Europe Daylight Time");
    const time_zone_information new_york = make_zone(300, u"Eastern Standard Time", u"Eastern Daylight Time");

    void SetUp() override {
        split_path(state.program_path, dir.dir());
        split_path(state.data_path, dir.dir());
        load_ui_strings(state, 250, L"Strings.txt");
        zone.zone = berlin;
        apply_default_settings(state);  // locks the zone in force: Berlin
        state.program_name = L"Chronobel";
        state.set_view(&view);
        state.settings.time_zone_locked = 1;
        zone.display_names[u"W. Europe Standard Time"] = u"(UTC+01:00) Amsterdam, Berlin";
    }
    void TearDown() override { running_as_service = 0; }
    std::string log() const { return dir.read("dLog.txt"); }
};

}  // namespace

TEST_F(TimeZoneLock, AChangedBiasIsRestoredBroadcastAndLogged) {
    ASSERT_TRUE(same_zone(state.settings.locked_time_zone, berlin));
    zone.zone = new_york;
    zone.period = zone_period_daylight;
    check_time_zone(state);

    ASSERT_EQ(zone.writes().size(), 1u);
    EXPECT_TRUE(same_zone(zone.writes()[0], berlin));
    EXPECT_EQ(zone.broadcasts(), 1);
    EXPECT_NE(log().find("  Time Zone Restored\r\n"), std::string::npos) << log();
    EXPECT_TRUE(same_zone(state.settings.locked_time_zone, berlin));
    // In daylight time the title names the daylight zone; the display name is
    // still found under the standard name.
    EXPECT_EQ(time_zone_phase.load(), 1);
    EXPECT_EQ(view.title(), "Chronobel - W. Europe Daylight Time");
    EXPECT_EQ(time_zone_display_name_text(), u"(UTC+01:00) Amsterdam, Berlin");
}

TEST_F(TimeZoneLock, TheSameBiasUnderAnotherNameIsKeptAsTheNewLockedZone) {
    const time_zone_information paris = make_zone(-60, u"Romance Standard Time", u"Romance Daylight Time");
    zone.zone = paris;
    check_time_zone(state);
    EXPECT_TRUE(zone.writes().empty());
    EXPECT_EQ(zone.broadcasts(), 0);
    EXPECT_EQ(log(), "");
    EXPECT_TRUE(same_zone(state.settings.locked_time_zone, paris));
    EXPECT_EQ(time_zone_phase.load(), 0);
    EXPECT_EQ(view.title(), "Chronobel - Romance Standard Time");
}

TEST_F(TimeZoneLock, AZoneWithoutDaylightSavingIsStandardTime) {
    state.settings.time_zone_locked = 0;
    const time_zone_information utc = make_zone(0, u"Coordinated Universal Time");
    zone.zone = utc;
    zone.period = zone_period_none;
    zone.display_names[u"Coordinated Universal Time"] = u"(UTC) Coordinated Universal Time";
    check_time_zone(state);
    EXPECT_EQ(time_zone_phase.load(), 0);
    EXPECT_EQ(view.title(), "Chronobel - Coordinated Universal Time");
    EXPECT_TRUE(same_zone(state.settings.locked_time_zone, utc));  // stored with the lock off too
    EXPECT_EQ(time_zone_display_name_text(), u"(UTC) Coordinated Universal Time");

    // A zone the registry does not know keeps the display name; a failed
    // reading leaves the phase unknown and everything else as it was.
    zone.zone = new_york;
    check_time_zone(state);
    EXPECT_EQ(time_zone_display_name_text(), u"(UTC) Coordinated Universal Time");
    zone.read_fails = true;
    check_time_zone(state);
    EXPECT_EQ(time_zone_phase.load(), -1);
    EXPECT_TRUE(same_zone(state.settings.locked_time_zone, new_york));
    EXPECT_EQ(view.title(), "Chronobel - Eastern Standard Time");
}

TEST_F(TimeZoneLock, AFailedRestoreKeepsTheLockedZoneAndLogsTheError) {
    zone.zone = new_york;
    zone.refuse_writes_with = 1314;
    check_time_zone(state);
    EXPECT_TRUE(same_zone(state.settings.locked_time_zone, berlin));
    EXPECT_EQ(zone.broadcasts(), 0);
    EXPECT_NE(log().find("  Unable to restore Time Zone W. Europe Standard Time, error 1314\r\n"), std::string::npos)
        << log();
    EXPECT_EQ(log().find("Restored"), std::string::npos);
    EXPECT_EQ(view.title(), "Chronobel - Eastern Standard Time");  // the zone in force

    // The next check tries again, and this time the system lets it.
    zone.refuse_writes_with = 0;
    check_time_zone(state);
    ASSERT_EQ(zone.writes().size(), 1u);
    EXPECT_TRUE(same_zone(zone.zone, berlin));
    EXPECT_NE(log().find("Time Zone Restored"), std::string::npos);

    // Failures are logged under "Errors" only.
    state.settings.log_errors = 0;
    zone.refuse_writes_with = 5;
    zone.zone = new_york;
    check_time_zone(state);
    EXPECT_EQ(log().find("error 5"), std::string::npos);
}

TEST_F(TimeZoneLock, TheServiceLeavesTheTitleAlone) {
    running_as_service = 1;
    zone.zone = new_york;
    check_time_zone(state);
    EXPECT_EQ(zone.writes().size(), 1u);  // the lock still works
    EXPECT_EQ(time_zone_phase.load(), 0);
    EXPECT_EQ(view.title(), "");
}
