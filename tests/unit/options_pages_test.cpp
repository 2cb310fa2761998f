// The options pages without windows: each page as a table of control
// values, the host as a list of what was asked of it.
#include <gtest/gtest.h>
#include <atomic>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>
#include "core/paths.h"
#include "core/settings_file.h"
#include "data/server_list.h"
#include "data/ui_strings.h"
#include "engine/query.h"
#include "resources/option_page_ids.h"
#include "support/loopback_servers.h"
#include "support/state_dirs.h"
#include "ui/options_pages.h"

using namespace orvane;
using orvane::testing::state_in_temp_dirs;

namespace {

class table_page final : public option_page_view {
public:
    explicit table_page(option_page page) {
        for (const option_control& c : option_page_controls(page)) ids.insert(c.id);
    }
    bool has(int id) const override { return ids.count(id) != 0; }
    bool checked(int id) const override { return checks.count(id) && checks.at(id); }
    void set_checked(int id, bool on) override { checks[id] = on; }
    std::uint32_t number(int id) const override { return numbers.count(id) ? numbers.at(id) : 0; }
    void set_number(int id, std::uint32_t value) override { numbers[id] = value; }
    int selection(int id) const override { return selections.count(id) ? selections.at(id) : -1; }
    void set_selection(int id, int position) override { selections[id] = position; }
    void clear_items(int id) override { items[id].clear(); }
    void insert_item(int id, int position, const std::string& text) override {
        items[id].insert(items[id].begin() + position, text);
    }
    std::string address(int id) const override { return addresses.count(id) ? addresses.at(id) : ""; }
    void set_address(int id, const std::string& text) override { addresses[id] = text; }
    filetime date(int id) const override { return dates.count(id) ? dates.at(id) : 0; }
    void set_date(int id, filetime value) override { dates[id] = value; }
    void enable(int id, bool on) override { enabled[id] = on; }
    void set_caption(int id, const std::string& text) override { captions[id] = text; }
    void set_tooltip(int id, const std::string& text) override { tooltips[id] = text; }
    void set_shield(int id, bool shown) override { shields[id] = shown; }
    void start_service_timer() override { timer_started = true; }

    std::set<int> ids;
    std::map<int, bool> checks, enabled, shields;
    std::map<int, std::uint32_t> numbers;
    std::map<int, int> selections;
    std::map<int, std::vector<std::string>> items;
    std::map<int, std::string> addresses, captions, tooltips;
    std::map<int, filetime> dates;
    bool timer_started = false;
};

class recording_host final : public options_host {
public:
    void disarm_auto_timer() override { log.push_back("disarm"); }
    void arm_auto_timer() override { log.push_back("arm"); }
    void start_servers() override { log.push_back("start servers"); }
    void stop_servers() override { log.push_back("stop servers"); }
    void open_file(const std::wstring& path) override { opened.push_back(path); }
    void open_scan_window() override { log.push_back("scan"); }
    void open_readme() override { log.push_back("readme"); }
    bool confirm_reset(const std::string& asked) override {
        question = asked;
        return answer_ok;
    }
    service_status query_service() override { return service; }
    void install_service() override { log.push_back("install"); }
    void remove_service(bool) override { log.push_back("remove"); }
    void start_service() override { log.push_back("start service"); }
    void stop_service() override { log.push_back("stop service"); }
    void relaunch_elevated() override { log.push_back("relaunch"); }
    void set_topmost(bool on) override { log.push_back(on ? "topmost" : "not topmost"); }
    void save_settings() override { log.push_back("save"); }

    std::vector<std::string> log;
    std::vector<std::wstring> opened;
    bool answer_ok = true;
    std::string question;
    service_status service;
};

struct options_fixture : ::testing::Test, state_in_temp_dirs {
    options_fixture() {
        load_ui_strings(state, ui_string_count, ui_strings_file_name);
        write_default_server_list(state);
        apply_default_settings(state);
        time_privilege_held = 1;
    }
    ~options_fixture() override { time_privilege_held = 0; }
    // A page as the sheet shows it first.
    table_page shown(option_page which) {
        table_page page(which);
        fill_options_page(session, page);
        return page;
    }
    recording_host host;
    options_session session = begin_options(state, host);
};

using log_t = std::vector<std::string>;

}  // namespace

TEST_F(options_fixture, EveryCaptionAndTooltipLandsOnOnePageAndTheListsHoldTheirItems) {
    std::map<int, std::string> captions, tooltips;
    for (int p = 0; p < option_page_count; ++p) {
        table_page page = shown(static_cast<option_page>(p));
        for (const auto& [id, text] : page.captions) EXPECT_TRUE(captions.emplace(id, text).second) << id;
        for (const auto& [id, text] : page.tooltips) {
            if (id != IDC_SERVICE_INSTALL && id != IDC_SERVICE_RUN) {
                EXPECT_TRUE(tooltips.emplace(id, text).second);
            }
        }
    }
    // 46 from the table, and the two service buttons' from their state.
    EXPECT_EQ(captions.size(), 46u + 2u);
    EXPECT_EQ(tooltips.size(), 48u);
    EXPECT_EQ(tooltips[IDC_PROTOCOL], state.ui_text(213));

    table_page servers = shown(option_page::servers);
    EXPECT_EQ(servers.items[IDC_PROTOCOL], (log_t{"TIME (RFC-868)", "SNTP (RFC-2030)", "Auto"}));
    EXPECT_EQ(servers.items[IDC_SERVER_SELECT].size(), 15u);  // the default list
    table_page system = shown(option_page::system);
    EXPECT_EQ(system.items[IDC_ON_PROGRAM_START], (log_t{"Do Nothing", "Auto Start", "Auto Start, Sync, then Exit"}));
    EXPECT_EQ(system.items[IDC_OFFSET_MULTIPLIER], (log_t{"Seconds", "Minutes", "Hours"}));
}

TEST_F(options_fixture, NumbersAreKeptWithinTheirLimitsWhenAPageIsWrittenBack) {
    table_page automatic = shown(option_page::automatic);
    EXPECT_EQ(automatic.numbers[IDC_AUTOSYNC_COUNT], 4u);
    for (auto [typed, kept] : {std::pair{0u, 1}, {150u, 99}, {1u, 1}, {99u, 99}, {0xFFFFFFFFu, 99}}) {
        automatic.numbers[IDC_AUTOSYNC_COUNT] = typed;
        automatic.numbers[IDC_AUTOCHECK_COUNT] = typed;
        apply_auto_page(session, automatic);
        EXPECT_EQ(state.settings.autosync_count, kept) << typed;
        EXPECT_EQ(state.settings.autocheck_count, kept) << typed;
    }
    table_page system = shown(option_page::system);
    for (auto [typed, timeout, offset] : {std::tuple{3u, 5, 3}, {100u, 99, 99}, {150u, 99, 99}, {0u, 5, 0}}) {
        system.numbers[IDC_TIMEOUT] = typed;
        system.numbers[IDC_OFFSET_AMOUNT] = typed;
        apply_system_page(session, system);
        EXPECT_EQ(state.settings.sync_timeout_s, timeout) << typed;
        EXPECT_EQ(state.settings.offset_amount, offset) << typed;
    }
    // The pickers' dates, time of day included, go back unchanged.
    system.dates[IDC_DATE_AFTER] = 133'000'000'000'123'456;
    apply_system_page(session, system);
    EXPECT_EQ(state.engine.date_after, 133'000'000'000'123'456u);
}

TEST_F(options_fixture, ServersPageSourcesAndTheirEnableStates) {
    table_page servers = shown(option_page::servers);
    EXPECT_TRUE(servers.checks[IDC_USE_LIST]);
    EXPECT_TRUE(servers.enabled[IDC_SCAN]);
    EXPECT_FALSE(servers.enabled[IDC_MANUAL_A]);

    servers.checks = {{IDC_MANUAL_A_RADIO, true}};
    servers.addresses[IDC_MANUAL_A] = "127.0.0.1";
    EXPECT_TRUE(options_page_command(session, servers, IDC_MANUAL_A_RADIO));
    EXPECT_EQ(state.engine.server_source, source_manual_a);
    EXPECT_EQ(state.engine.manual_a, "127.0.0.1");
    EXPECT_TRUE(servers.enabled[IDC_MANUAL_A]);
    EXPECT_FALSE(servers.enabled[IDC_SCAN]);
    EXPECT_FALSE(servers.enabled[IDC_SERVER_SELECT]);

    servers.checks.clear();  // no radio checked: Manual B
    servers.selections[IDC_SERVER_SELECT] = -1;
    state.engine.server_index = 3;
    apply_servers_page(session, servers);
    EXPECT_EQ(state.engine.server_source, source_manual_b);
    EXPECT_EQ(state.engine.server_index, 3);  // nothing selected: kept

    // A command of another page, or a notification, is not this page's.
    EXPECT_FALSE(options_page_command(session, servers, IDC_RESET_DEFAULTS));
    EXPECT_FALSE(options_page_command(session, servers, (1u << 16) | IDC_USE_LIST));
    EXPECT_TRUE(options_page_command(session, servers, IDC_EDIT_LIST));
    ASSERT_EQ(host.opened.size(), 1u);
    EXPECT_EQ(host.opened[0], locate_data_file(state, L"ServFile.txt"));
}

TEST_F(options_fixture, AutoTimerIsArmedDisarmedAndRestartedAsTheClicksSay) {
    table_page automatic = shown(option_page::automatic);
    state.auto_due = 2;  // AutoSync armed
    state.autosync_start_tick = 1234;
    host.log.clear();
    // AutoSync's Reset while armed: the period starts again from the click.
    EXPECT_TRUE(options_page_command(session, automatic, IDC_AUTOSYNC_RESET));
    EXPECT_EQ(host.log, (log_t{"disarm", "arm"}));
    EXPECT_EQ(state.autosync_start_tick.load(), 0u);

    // Switching AutoSync off with AutoCheck off disarms for good.
    state.auto_due = 2;
    host.log.clear();
    automatic.checks[IDC_AUTOSYNC_ENABLED] = false;
    EXPECT_TRUE(options_page_command(session, automatic, IDC_AUTOSYNC_ENABLED));
    EXPECT_EQ(host.log, (log_t{"disarm"}));
    EXPECT_EQ(state.auto_due.load(), 0);
    EXPECT_FALSE(automatic.enabled[IDC_AUTOSYNC_COUNT]);

    // AutoCheck on while nothing is armed: armed, once.
    host.log.clear();
    automatic.checks[IDC_AUTOCHECK_ENABLED] = true;
    EXPECT_TRUE(options_page_command(session, automatic, IDC_AUTOCHECK_ENABLED));
    EXPECT_EQ(host.log, (log_t{"arm"}));
    EXPECT_TRUE(automatic.enabled[IDC_AUTOCHECK_RESET]);

    // Closing after a changed count re-arms an armed timer, then saves.
    state.auto_due = 1;
    state.settings.autocheck_count = 9;
    host.log.clear();
    end_options(session);
    EXPECT_EQ(host.log, (log_t{"not topmost", "disarm", "arm", "save"}));
    EXPECT_EQ(options_sheet_open, 0);
}

TEST_F(options_fixture, MiscPageServerSwitchLoggingAndResetToDefaults) {
    table_page misc = shown(option_page::misc);
    host.log.clear();
    misc.checks[IDC_TIME_SERVER] = true;
    EXPECT_TRUE(options_page_command(session, misc, IDC_TIME_SERVER));
    EXPECT_EQ(state.settings.time_server_enabled, 1);
    misc.checks[IDC_NO_LOG] = true;
    EXPECT_TRUE(options_page_command(session, misc, IDC_NO_LOG));
    EXPECT_EQ(state.settings.log_disabled, 1);
    for (int id = IDC_LOG_SYNCS; id <= IDC_LOG_OLD_TIME; ++id) EXPECT_FALSE(misc.enabled[id]) << id;
    EXPECT_EQ(host.log, (log_t{"start servers"}));  // started once, not again

    // Reset refused: nothing changes. The question is UI text 120, then
    // what else Reset does.
    host.answer_ok = false;
    options_page_command(session, misc, IDC_RESET_DEFAULTS);
    EXPECT_EQ(state.settings.log_disabled, 1);
    EXPECT_EQ(host.question.rfind(std::string(state.ui_text(120)) + "\n\n", 0), 0u) << host.question;
    EXPECT_NE(host.question.find("Strings.txt"), std::string::npos) << host.question;
    EXPECT_NE(host.question.find("start at log-on"), std::string::npos) << host.question;
    // Confirmed: defaults (the saved values and the rewritten string file
    // are checked by e2e.options_win32), the strings reloaded, and the
    // running server stopped at once.
    host.answer_ok = true;
    state.publish_ui_table(std::make_unique<ui_table>());
    options_page_command(session, misc, IDC_RESET_DEFAULTS);
    EXPECT_EQ(state.settings.log_disabled, 0);
    EXPECT_EQ(state.settings.time_server_enabled, 0);
    EXPECT_STREQ(state.ui_text(0), "Check");
    EXPECT_EQ(host.log, (log_t{"start servers", "stop servers"}));
    EXPECT_FALSE(misc.checks[IDC_NO_LOG]);
    EXPECT_TRUE(misc.enabled[IDC_LOG_SYNCS]);
}

TEST_F(options_fixture, ServiceButtonsFollowTheStatusAndAskForElevationWithoutThePrivilege) {
    table_page system = shown(option_page::system);
    EXPECT_EQ(system.captions[IDC_SERVICE_INSTALL], "Install");
    EXPECT_FALSE(system.enabled[IDC_SERVICE_RUN]);

    host.log.clear();
    EXPECT_TRUE(options_page_command(session, system, IDC_SERVICE_INSTALL));
    EXPECT_EQ(host.log, (log_t{"install"}));
    EXPECT_FALSE(system.enabled[IDC_SERVICE_INSTALL]);
    EXPECT_TRUE(system.timer_started);
    host.service = {true, true};
    service_timer_elapsed(session, system);
    EXPECT_EQ(system.captions[IDC_SERVICE_INSTALL], "Remove");
    EXPECT_EQ(system.captions[IDC_SERVICE_RUN], "Stop");
    EXPECT_EQ(system.tooltips[IDC_SERVICE_RUN], "Stop the Chronobel service");
    EXPECT_TRUE(system.enabled[IDC_SERVICE_INSTALL] && system.enabled[IDC_SERVICE_RUN]);

    time_privilege_held = 0;
    host.log.clear();
    system.timer_started = false;
    update_options_page(session, system);
    EXPECT_TRUE(system.shields[IDC_SERVICE_RUN]);
    EXPECT_EQ(system.tooltips[IDC_SERVICE_INSTALL], state.ui_text(212));
    EXPECT_TRUE(options_page_command(session, system, IDC_SERVICE_RUN));
    EXPECT_EQ(host.log, (log_t{"relaunch"}));
    EXPECT_FALSE(system.timer_started);
}

TEST_F(options_fixture, PagesWrittenBackWhileQueriesStartGiveEachQueryTheWholeChoice) {
    // The sheet writes its Servers and System pages back again and again
    // while queries start and end. Each query must take the page's choice
    // whole: Manual A, TIME, and a range from 2030 to 2040 that refuses the
    // server's 2024 and is widened by the query. Under ThreadSanitizer
    // (tsan.unit_tests) any field written without the query's lock shows.
    constexpr std::uint32_t march_2024 = 3'918'240'000u;
    constexpr int queries = 20;
    constexpr int most_rounds = 1'000'000;  // the sheet's loop ends with the queries anyway
    orvane::testing::time_responder server(orvane::testing::time_reply_bytes(march_2024));
    state.worker_event = create_manual_event();
    state.engine.time_port = server.port();
    auto new_year = [](std::uint16_t year) {
        filetime t = 0;
        system_time_to_filetime(system_time{year, 1, 0, 1, 0, 0, 0, 0}, t);
        return t;
    };
    table_page servers = shown(option_page::servers), system = shown(option_page::system);
    servers.checks = {{IDC_MANUAL_A_RADIO, true}};
    servers.addresses[IDC_MANUAL_A] = "127.0.0.1";
    servers.selections[IDC_PROTOCOL] = protocol_time;
    system.checks[IDC_DATE_RANGE_ENABLED] = system.checks[IDC_DATE_RANGE_AUTO_RESET] = true;
    system.dates[IDC_DATE_AFTER] = new_year(2030);
    system.dates[IDC_DATE_BEFORE] = new_year(2040);
    apply_servers_page(session, servers);
    apply_system_page(session, system);

    std::atomic<bool> queries_done{false};
    std::thread sheet([&] {
        table_page shown_again(option_page::system);  // reads back the bounds a query widens
        for (int round = 0; round < most_rounds && !queries_done.load(); ++round) {
            servers.addresses[IDC_MANUAL_B] = round % 2 ? "10.0.0.1" : "10.0.0.222";
            apply_servers_page(session, servers);
            apply_system_page(session, system);
            load_options_page(session, shown_again);
        }
    });
    int refused = 0;
    for (int i = 0; i < queries; ++i) {
        if (prepare_query(state.engine) != query_ok) break;
        run_query(state);
        refused += state.engine.failed.load() && state.engine.result_code.load() == query_ok;
        finish_query(state.engine);
    }
    queries_done = true;
    sheet.join();
    EXPECT_EQ(refused, queries);
    EXPECT_EQ(server.connections(), queries);
    EXPECT_EQ(state.engine.manual_a, "127.0.0.1");
}

TEST_F(options_fixture, ControlsAPolicyDecidesAreDisabledAndLockSettingsDisablesEveryChange) {
    state.policy.protocol = protocol_time;
    state.policy.average = true;
    put_policy_on_top(state);
    table_page servers = shown(option_page::servers);
    EXPECT_EQ(servers.selections[IDC_PROTOCOL], protocol_time);
    EXPECT_EQ(servers.tooltips[IDC_PROTOCOL], set_by_administrator_text);
    auto disabled = [](const table_page& page, int id) { return page.enabled.count(id) && !page.enabled.at(id); };
    EXPECT_TRUE(disabled(servers, IDC_PROTOCOL) && !disabled(servers, IDC_USE_LIST));
    // A page written back cannot undo the policy.
    servers.selections[IDC_PROTOCOL] = protocol_auto;
    apply_options_page(session, servers, option_page::servers);
    EXPECT_EQ(state.engine.protocol, protocol_time);

    state.policy.lock_settings = true;
    for (int p = 0; p < option_page_count; ++p) {
        table_page page = shown(static_cast<option_page>(p));
        for (const option_control& c : option_page_controls(static_cast<option_page>(p))) {
            if (c.kind == control_kind::label || c.kind == control_kind::group) continue;
            const bool shows_only = c.id == IDC_OPTIONS_HELP || c.id == IDC_VIEW_LOG || c.id == IDC_SCAN;
            EXPECT_EQ(disabled(page, c.id), !shows_only) << c.id;
            if (!shows_only) {
                EXPECT_EQ(page.tooltips[c.id], set_by_administrator_text) << c.id;
            }
        }
    }
    // A click that reaches a disabled control changes nothing.
    table_page misc = shown(option_page::misc);
    host.log.clear();
    misc.checks[IDC_TIME_SERVER] = true;
    EXPECT_TRUE(options_page_command(session, misc, IDC_TIME_SERVER));
    EXPECT_TRUE(options_page_command(session, misc, IDC_RESET_DEFAULTS));
    EXPECT_TRUE(host.log.empty() && host.question.empty());
    EXPECT_EQ(state.settings.time_server_enabled, 0);
}
