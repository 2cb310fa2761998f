// The machine policy: the check of what a source found, the settings it
// overrides, the user's own values kept in the settings file, and the
// administrative templates, which must name exactly the values the program reads.
#include <gtest/gtest.h>
#include <cstring>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include "core/auto_period.h"
#include "core/settings_file.h"
#include "data/server_list.h"
#include "platform/policy.h"
#include "support/state_dirs.h"

using namespace orvane;
using orvane::testing::state_in_temp_dirs;

namespace {

found_policy_value dword(const char* name, std::uint32_t number) {
    return {.name = name, .type = found_type::dword, .number = number, .texts = {}};
}
found_policy_value strings(const char* name, std::vector<std::string> texts) {
    return {.name = name, .type = found_type::multi_string, .number = 0, .texts = std::move(texts)};
}

std::string file_text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

TEST(policy, WrongTypesAndValuesOutOfRangeAreIgnoredWholeAndTheRestOverridesTheStoredSettings) {
    state_in_temp_dirs dirs;
    chronobel_state& state = dirs.state;
    apply_default_settings(state);
    state.settings.record_size = settings_record_size;
    state.engine.server_source = source_manual_a;
    state.engine.manual_a = "127.0.0.9";
    dirs.data.write("ServFile.txt", "users.example\r\n");

    // Each refused value is named in the log; nothing of it is taken.
    const policy_check refused = check_policy({
        strings("Protocol", {"1"}),                     // the wrong type
        dword("Servers", 1),                            // the wrong type
        strings("Servers", {"127.0.0.1", "a b"}),       // one entry is no host: all of it ignored
        strings("Servers", {}),                         // no entry
        dword("Server", 2),                             // out of range
        dword("AutoSyncMinutes", 100),                  // neither minutes, hours nor days
        dword("AutoSyncMinutes", longest_autosync_minutes + 1),
        {.name = "Average", .type = found_type::other, .number = 0, .texts = {}},  // REG_SZ, REG_QWORD ...
        dword("Unknown", 1),                            // not ours: not looked at
    });
    EXPECT_FALSE(refused.policy.any());
    ASSERT_EQ(refused.ignored.size(), 8u);
    EXPECT_EQ(refused.ignored[0], "Policy Protocol ignored: it is not a number (REG_DWORD)");
    EXPECT_NE(refused.ignored[2].find("\"a b\""), std::string::npos);
    EXPECT_EQ(refused.ignored[4], "Policy Server ignored: it is 2, outside 0 to 1");

    // The periods that have a stored form, at the ends of each unit.
    for (auto [minutes, count, unit] : {std::tuple{99u, 99, int{unit_minutes}}, {120u, 2, unit_hours},
                                        {longest_autosync_minutes, 99, unit_days}}) {
        std::int32_t c = 0, u = -1;
        EXPECT_TRUE(autosync_period_of(minutes, c, u) && c == count && u == unit) << minutes;
    }

    apply_machine_policy(state, {strings("Servers", {"127.0.0.1", "[::1]"}), dword("Protocol", protocol_sntp),
                                 dword("AutoSyncMinutes", 30), dword("Average", 1), dword("Server", 0),
                                 dword("LockTimeZone", 7)});
    EXPECT_NE(dirs.data.read("dLog.txt").find("Policy LockTimeZone ignored: it is 7, outside 0 to 1"),
              std::string::npos);
    EXPECT_FALSE(state.policy.governs(policy_id::lock_time_zone));
    EXPECT_EQ(state.engine.server_source, source_list);
    EXPECT_EQ(state.engine.protocol, protocol_sntp);
    EXPECT_EQ(std::tuple(state.settings.autosync_enabled, state.settings.autosync_count, state.settings.autosync_unit),
              std::tuple(std::uint8_t{1}, 30, int{unit_minutes}));
    EXPECT_EQ(state.settings.average, 1);
    // The administrator's servers take the place of the list file's.
    EXPECT_EQ(count_server_list(state), 2);
    EXPECT_EQ(read_server_list(state, nullptr, 2), list_ok);
    EXPECT_EQ(state.engine.server_name, "[::1]");
    EXPECT_EQ(read_server_list(state, nullptr, 3), list_too_short);

    // A save keeps the user's own values where the policy decides, and
    // what the user changed elsewhere.
    state.settings.sync_timeout_s = 42;
    ASSERT_TRUE(save_settings(state, state.data_dir()));
    const std::string bytes = dirs.data.read("dSync.dat");
    ASSERT_EQ(bytes.size(), settings_file_size);
    settings_record saved{};
    std::memcpy(&saved, bytes.data() + sizeof settings_magic, sizeof saved);
    EXPECT_EQ(std::tuple(saved.saved_server_source, saved.saved_protocol, saved.autosync_count, saved.autosync_unit,
                         saved.average, saved.sync_timeout_s),
              std::tuple(int{source_manual_a}, int{protocol_auto}, 4, int{unit_hours}, std::uint8_t{0}, 42));
    // The settings in force stay the policy's.
    EXPECT_EQ(state.engine.protocol, protocol_sntp);

    // Without the policy, the user's settings return as they were.
    load_settings(state);
    apply_machine_policy(state, {});
    EXPECT_EQ(state.engine.server_source, source_manual_a);
    EXPECT_EQ(read_server_list(state, nullptr, 1), list_ok);
    EXPECT_EQ(state.engine.server_name, "users.example");
}

// Every value the templates write is one the program reads, with the same
// type, and every text and presentation they name is in the en-US file.
TEST(policy, TheAdministrativeTemplatesNameExactlyThePolicyTable) {
    const std::string admx = file_text(CHRONOBEL_SOURCE_DIR "/installer/policies/Chronobel.admx");
    const std::string adml = file_text(CHRONOBEL_SOURCE_DIR "/installer/policies/en-US/Chronobel.adml");
    ASSERT_FALSE(admx.empty() || adml.empty());

    // The element that carries a valueName tells the registry type it writes.
    const std::map<std::string, policy_type> element_types = {{"multiText", policy_type::multi_string},
                                                              {"decimal", policy_type::dword},
                                                              {"enum", policy_type::dword},
                                                              {"policy", policy_type::dword}};
    std::map<std::string, policy_type> in_templates;
    const std::regex value_name(R"(<(\w+)\s[^>]*\bvalueName="([^"]+)\")");
    for (auto it = std::sregex_iterator(admx.begin(), admx.end(), value_name); it != std::sregex_iterator(); ++it) {
        const std::string element = (*it)[1], name = (*it)[2];
        ASSERT_TRUE(element_types.count(element)) << element << " writes " << name;
        EXPECT_TRUE(in_templates.emplace(name, element_types.at(element)).second) << name << " twice";
    }
    std::map<std::string, policy_type> in_program;
    for (const policy_entry& entry : policy_table()) in_program.emplace(entry.value_name, entry.type);
    EXPECT_EQ(in_templates, in_program);

    // Every policy writes under the program's key, in the category Chronobel.
    const std::string key = "key=\"SOFTWARE\\Policies\\Orvane\\Chronobel\"";
    std::size_t policies = 0;
    for (std::size_t at = admx.find("<policy "); at != std::string::npos; at = admx.find("<policy ", at + 1)) {
        ++policies;
        EXPECT_NE(admx.substr(at, admx.find('>', at) - at).find(key), std::string::npos);
    }
    EXPECT_EQ(policies, policy_table().size());
    EXPECT_NE(admx.find("<category name=\"Chronobel\""), std::string::npos);
    // The largest period the templates allow is the program's.
    EXPECT_NE(admx.find("maxValue=\"" + std::to_string(longest_autosync_minutes) + "\""), std::string::npos);

    const std::regex reference(R"(\$\((string|presentation)\.([^)]+)\))");
    std::set<std::string> missing;
    for (auto it = std::sregex_iterator(admx.begin(), admx.end(), reference); it != std::sregex_iterator(); ++it) {
        const std::string tag = (*it)[1] == "string" ? "<string id=\"" : "<presentation id=\"";
        if (adml.find(tag + std::string((*it)[2]) + "\"") == std::string::npos) missing.insert((*it)[2]);
    }
    EXPECT_TRUE(missing.empty()) << *missing.begin();
}
