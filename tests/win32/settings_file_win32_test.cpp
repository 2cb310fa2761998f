// "dSync.dat" as the Windows program writes and reads it.
#include <gtest/gtest.h>
#include <windows.h>
#include <cstring>
#include "core/paths.h"
#include "core/settings_file.h"
#include "core/state.h"
#include "support/win32_temp_dir.h"

using namespace orvane;
using orvane::testing::win32_temp_dir;

namespace {

std::uint32_t u32_at(const std::string& bytes, std::size_t offset) {
    std::uint32_t value = 0;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

// A state with the defaults whose data directory is a fresh temporary one.
class WindowsSettingsFile : public ::testing::Test {
protected:
    void SetUp() override {
        split_path(saved.data_path, dir.dir());
        apply_default_settings(saved);
    }
    // Reads the file back into a new state.
    void load_into(chronobel_state& loaded) const {
        split_path(loaded.data_path, dir.dir());
        load_settings(loaded);
    }

    win32_temp_dir dir;
    chronobel_state saved;
};

}  // namespace

TEST_F(WindowsSettingsFile, WrittenBytesStandAtTheirOffsetsAndReadBackWhole) {
    saved.settings.sync_timeout_s = 42;
    saved.settings.start_minimised = 1;
    saved.settings.transparent = 1;
    saved.settings.locked_time_zone.bias = -330;
    saved.settings.locked_time_zone.daylight_name[0] = u'D';
    saved.engine.server_source = source_manual_a;
    saved.engine.server_index = 3;
    saved.engine.manual_a = "10.20.30.40";
    saved.engine.date_after = 0x01D9000011112222ULL;
    saved.engine.date_before = 0x01DA000033334444ULL;
    save_settings(saved, saved.data_dir());

    const std::string bytes = dir.read(L"dSync.dat");
    ASSERT_EQ(bytes.size(), 340u);
    EXPECT_EQ(bytes.substr(0, 8), "SYNC2000");
    EXPECT_EQ(u32_at(bytes, 28), 42u);    // sync_timeout_s
    EXPECT_EQ(u32_at(bytes, 60), 332u);   // record_size
    TIME_ZONE_INFORMATION zone{};
    std::memcpy(&zone, bytes.data() + 152, sizeof zone);
    EXPECT_EQ(zone.Bias, -330);
    EXPECT_EQ(zone.DaylightName[0], L'D');
    EXPECT_EQ(std::memcmp(bytes.data() + 152, &saved.settings.locked_time_zone, 172), 0);
    EXPECT_EQ(u32_at(bytes, 332), 0x33334444u);  // saved_date_before, low word
    EXPECT_EQ(u32_at(bytes, 336), 0x01DA0000u);  // and high word

    chronobel_state loaded;
    load_into(loaded);
    EXPECT_EQ(std::memcmp(&loaded.settings, &saved.settings, sizeof saved.settings), 0);
    EXPECT_EQ(loaded.engine.server_source, source_manual_a);
    EXPECT_EQ(loaded.engine.server_index, 3);
    EXPECT_EQ(loaded.engine.manual_a, "10.20.30.40");
    EXPECT_EQ(loaded.engine.manual_b, saved.engine.manual_b);
    EXPECT_EQ(loaded.engine.date_after, 0x01D9000011112222ULL);
    EXPECT_EQ(loaded.engine.date_before, 0x01DA000033334444ULL);
}

TEST_F(WindowsSettingsFile, AFileHeldOpenByAnotherProgramGivesTheDefaults) {
    // The settings are opened without sharing; a file that another program
    // holds open cannot be read, and the defaults serve instead.
    saved.settings.sync_timeout_s = 55;
    save_settings(saved, saved.data_dir());
    HANDLE holder = CreateFileW((dir / L"dSync.dat").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    chronobel_state loaded;
    load_into(loaded);
    CloseHandle(holder);
    EXPECT_EQ(loaded.settings.sync_timeout_s, 15);
    EXPECT_EQ(loaded.settings.record_size, 332u);
}
