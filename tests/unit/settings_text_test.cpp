#include <gtest/gtest.h>
#include <algorithm>
#include <cstring>
#include "app/settings_text.h"
#include "core/state.h"

using namespace orvane;

namespace {
bool has_line(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}
}  // namespace

TEST(SettingsText, EverySettingIsListedByItsName) {
    chronobel_state state;
    apply_default_settings(state);
    state.engine.date_after = 0;  // 1601-01-01
    const auto lines = settings_as_text(state);
    for (const char* expected : {"server_source = 0", "server_index = 0", "protocol = 2", "manual_a = 129.6.15.28",
                                 "date_range_enabled = 1", "date_range_auto_reset = 1",
                                 "date_after = 1601-01-01 00:00:00", "sync_timeout_s = 15", "autosync_count = 4",
                                 "autosync_unit = 1", "time_server_enabled = 0", "log_disabled = 0", "tray = 1",
                                 "offset_multiplier = 1", "log_server = 1", "balloons = 1"})
        EXPECT_TRUE(has_line(lines, expected)) << expected;
    EXPECT_EQ(lines.size(), 40u);
}

TEST(SettingsText, ValuesAreKeptWithinTheOptionsLimits) {
    chronobel_state state;
    apply_default_settings(state);
    EXPECT_EQ(apply_setting_text(state, "sync_timeout_s=5"), "");
    EXPECT_EQ(state.settings.sync_timeout_s, 5);
    EXPECT_EQ(apply_setting_text(state, "sync_timeout_s=99"), "");
    EXPECT_EQ(apply_setting_text(state, "time_server_enabled=1"), "");
    EXPECT_EQ(state.settings.time_server_enabled, 1);
    EXPECT_EQ(apply_setting_text(state, "manual_b=10.0.0.255"), "");
    EXPECT_EQ(state.engine.manual_b, "10.0.0.255");
    EXPECT_EQ(apply_setting_text(state, "date_before=2031-05-06"), "");
    EXPECT_EQ(settings_as_text(state)[8], "date_before = 2031-05-06 00:00:00");
    EXPECT_EQ(apply_setting_text(state, "date_after=2020-02-29 13:14:15"), "");
    // A setting beside dSync.dat, by the same rules.
    EXPECT_EQ(apply_setting_text(state, "balloons=0"), "");
    EXPECT_EQ(state.extras.balloons, 0);
    EXPECT_NE(apply_setting_text(state, "balloons=2"), "");
    EXPECT_EQ(state.extras.balloons, 0);

    const settings_record before = state.settings;
    for (const char* bad : {"sync_timeout_s=4", "sync_timeout_s=100", "sync_timeout_s=", "sync_timeout_s=1x",
                            "autosync_count=0", "offset_amount=-1", "protocol=3", "server_source=-1",
                            "log_syncs=2", "manual_a=1.2.3", "manual_a=256.1.1.1", "manual_a=1.2.3.4.5",
                            "manual_a= 1.2.3.4", "date_after=2021-02-29", "date_after=yesterday", "no_such=1",
                            "sync_timeout_s", "=5", "server_index=99999999999999999999"}) {
        EXPECT_NE(apply_setting_text(state, bad), "") << bad;
    }
    EXPECT_EQ(std::memcmp(&before, &state.settings, sizeof before), 0);
    EXPECT_EQ(state.engine.manual_a, "129.6.15.28");
}
