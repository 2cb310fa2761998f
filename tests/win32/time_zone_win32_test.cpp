// The time-zone lock on the real Win32 seam under Wine.
#include <gtest/gtest.h>
#include <windows.h>
#include <cstring>
#include <string>
#include "core/paths.h"
#include "data/ui_strings.h"
#include "support/recording_view.h"
#include "support/win32_temp_dir.h"
#include "sys/files.h"
#include "sys/timezone.h"
#include "engine/time_zone_check.h"

using namespace orvane;
using orvane::testing::recording_view;
using orvane::testing::win32_temp_dir;

namespace {

struct WindowsTimeZoneLock : ::testing::Test {
    win32_temp_dir dir;
    chronobel_state state;
    recording_view view;

    void SetUp() override {
        split_path(state.program_path, dir.dir());
        split_path(state.data_path, dir.dir());
        load_ui_strings(state, 250, L"Strings.txt");
        apply_default_settings(state);
        state.program_name = L"Chronobel";
        state.set_view(&view);
    }
    std::string log() const { return dir.read(L"dLog.txt"); }
};

// The Wine whose SetTimeZoneInformation is known to change nothing at all
// (tried in a throwaway prefix): the only place the real write is made.
bool under_known_wine() {
    using version_fn = const char*(__cdecl*)();
    auto version = reinterpret_cast<version_fn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version")));
    return version && std::strncmp(version(), "8.", 2) == 0;
}

std::string host_file(const wchar_t* path) {
    std::string bytes(1 << 16, '\0');
    bytes.resize(open_for_reading(path, sharing::read).read(bytes.data(), bytes.size()));
    return bytes;
}

}  // namespace

TEST_F(WindowsTimeZoneLock, TheZoneInForceNamesTheTitleAndIsLocked) {
    TIME_ZONE_INFORMATION system{};
    const DWORD id = GetTimeZoneInformation(&system);
    check_time_zone(state);

    const bool daylight = id == TIME_ZONE_ID_DAYLIGHT;
    EXPECT_EQ(time_zone_phase.load(), daylight ? 1 : 0);
    const wchar_t* name = daylight ? system.DaylightName : system.StandardName;
    EXPECT_EQ(view.title(), "Chronobel - " + zone_name_text(reinterpret_cast<const char16_t*>(name)));
    EXPECT_EQ(std::memcmp(&state.settings.locked_time_zone, &system, sizeof system), 0);
    // (The display name found for it is the time-zone dialog test's.)
    std::u16string none;
    EXPECT_FALSE(time_zone_display_name(u"No Such Standard Time", none));
    broadcast_time_zone_change();  // returns, with every window told
}

// The one test that makes the real SetTimeZoneInformation call. Wine 8 holds
// no SeTimeZonePrivilege and refuses the write with error 1314 before it
// reaches anything: no system call, no file, not even its own registry.
TEST_F(WindowsTimeZoneLock, ARefusedRestoreKeepsTheLockedZoneAndIsLogged) {
    if (!under_known_wine()) GTEST_SKIP() << "writes the time zone only under the Wine it was tried on";
    TIME_ZONE_INFORMATION before{};
    GetTimeZoneInformation(&before);
    const std::string localtime_before = host_file(L"Z:\\etc\\localtime");

    time_zone_information locked{};
    std::memcpy(&locked, &before, sizeof locked);
    locked.bias += 60;
    const std::u16string test_name = u"Chronobel Test Standard Time";
    std::memset(locked.standard_name, 0, sizeof locked.standard_name);
    std::memcpy(locked.standard_name, test_name.data(), test_name.size() * sizeof(char16_t));
    state.settings.locked_time_zone = locked;
    state.settings.time_zone_locked = 1;
    check_time_zone(state);

    TIME_ZONE_INFORMATION after{};
    GetTimeZoneInformation(&after);
    if (std::memcmp(&after, &before, sizeof after) != 0) {
        time_zone_information original{};
        std::memcpy(&original, &before, sizeof original);
        write_time_zone(original);
        FAIL() << "the zone was written; it has been put back";
    }
    EXPECT_EQ(host_file(L"Z:\\etc\\localtime"), localtime_before);
    EXPECT_EQ(std::memcmp(&state.settings.locked_time_zone, &locked, sizeof locked), 0);
    EXPECT_NE(log().find("  Unable to restore Time Zone Chronobel Test Standard Time, error 1314\r\n"),
              std::string::npos)
        << log();
    EXPECT_EQ(log().find("Restored"), std::string::npos);
}
