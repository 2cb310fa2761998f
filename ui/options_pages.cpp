#include "ui/options_pages.h"
#include <algorithm>
#include <iterator>
#include <span>
#include "core/paths.h"
#include "core/policy.h"
#include "core/settings_file.h"
#include "data/server_list.h"
#include "data/ui_strings.h"
#include "engine/sync_result.h"
#include "resources/option_page_ids.h"

namespace orvane {
namespace {

// The check boxes that stand for one byte of the settings each. 1038
// ("Server") is not among them: it starts and stops the servers; nor are the
// date range's, which the engine holds (apply_system_page).
struct check_setting {
    int id;
    std::uint8_t* (*field)(chronobel_state&);
};

#define SETTING(id, field) {id, [](chronobel_state& s) { return &s.settings.field; }}
const check_setting check_settings[] = {
    SETTING(IDC_DEFAULT_SERVER_ONLY, default_server_only),
    SETTING(IDC_AUTOSYNC_ENABLED, autosync_enabled),
    SETTING(IDC_AUTOCHECK_ENABLED, autocheck_enabled),
    SETTING(IDC_NO_LOG, log_disabled),
    SETTING(IDC_LOG_SYNCS, log_syncs),
    SETTING(IDC_LOG_CHECKS, log_checks),
    SETTING(IDC_LOG_ERRORS, log_errors),
    SETTING(IDC_LOG_SERVER, log_server),
    SETTING(IDC_LOG_OLD_TIME, log_old_time),
    SETTING(IDC_LOG_RESPONSE, log_response),
    SETTING(IDC_LOG_CORRECTION, log_correction),
    SETTING(IDC_MINOR, minor),
    SETTING(IDC_TRAY, tray),
    SETTING(IDC_RESIDENT, resident),
    SETTING(IDC_START_MINIMISED, start_minimised),
    SETTING(IDC_ON_TOP, on_top),
    SETTING(IDC_AVERAGE, average),
    // Beside dSync.dat, not in its record.
    {IDC_BALLOONS, [](chronobel_state& s) { return &s.extras.balloons; }},
};
#undef SETTING

// The lists that hold a choice of the settings, by position. The protocol's
// is the engine's (apply_servers_page).
struct list_setting {
    int id;
    std::int32_t* (*field)(chronobel_state&);
};

#define SETTING(id, field) {id, [](chronobel_state& s) { return &s.settings.field; }}
const list_setting list_settings[] = {
    SETTING(IDC_AUTOSYNC_UNIT, autosync_unit),
    SETTING(IDC_ON_WINDOWS_START, on_windows_start),
    SETTING(IDC_ON_PROGRAM_START, on_program_start),
    SETTING(IDC_AUTOCHECK_UNIT, autocheck_unit),
    SETTING(IDC_OFFSET_MULTIPLIER, offset_multiplier),
};
#undef SETTING

// The server list's combo box as the list code fills it.
class server_select_list final : public server_list_view {
public:
    explicit server_select_list(option_page_view& page) : page_(page) {}
    void clear() override { page_.clear_items(IDC_SERVER_SELECT); }
    void insert(int position, const std::string& entry) override {
        page_.insert_item(IDC_SERVER_SELECT, position, entry);
    }
    void select(int position) override { page_.set_selection(IDC_SERVER_SELECT, position); }

private:
    option_page_view& page_;
};

void enable_if_present(option_page_view& page, int id, bool enabled) {
    if (page.has(id)) page.enable(id, enabled);
}

// A list's selection, or the old value when nothing is selected.
std::int32_t selected_or(const option_page_view& page, int id, std::int32_t old) {
    const int position = page.selection(id);
    return position >= 0 ? position : old;
}

void store_flag(std::uint8_t& field, bool on) {
    const std::uint8_t value = on ? 1 : 0;
    if (field != value) field = value;
}

void show_date_ranges(options_session& session, option_page_view& page) {
    if (page.has(IDC_DATE_AFTER)) page.set_date(IDC_DATE_AFTER, session.state.engine.date_after);
    if (page.has(IDC_DATE_BEFORE)) page.set_date(IDC_DATE_BEFORE, session.state.engine.date_before);
}

void update_service_buttons(options_session& session, option_page_view& page) {
    const chronobel_state& state = session.state;
    if (session.service.installed) {
        page.set_caption(IDC_SERVICE_INSTALL, state.ui_text(text_id::remove));
        page.set_tooltip(IDC_SERVICE_INSTALL, state.ui_text(text_id::uninstall_service));
        page.enable(IDC_SERVICE_RUN, true);
        const bool running = session.service.running;
        page.set_caption(IDC_SERVICE_RUN, state.ui_text(running ? text_id::stop : text_id::run));
        page.set_tooltip(IDC_SERVICE_RUN, state.ui_text(running ? text_id::stop_service : text_id::run_service));
    } else {
        page.set_caption(IDC_SERVICE_INSTALL, state.ui_text(text_id::install));
        page.set_tooltip(IDC_SERVICE_INSTALL, state.ui_text(text_id::install_service));
        page.set_caption(IDC_SERVICE_RUN, state.ui_text(text_id::run));
        page.enable(IDC_SERVICE_RUN, false);
    }
    if (!time_privilege_held) {
        for (int id : {IDC_SERVICE_INSTALL, IDC_SERVICE_RUN}) {
            page.set_tooltip(id, state.ui_text(text_id::run_as_administrator));
            page.set_shield(id, true);
        }
    }
}

// An automatic timer's check box or Reset: a timer already armed is
// disarmed and its period starts anew, then the page is written back,
// which arms the timer again when an automatic operation is enabled.
void restart_auto_period(options_session& session, option_page_view& page,
                         decltype(chronobel_state::autosync_start_tick)& start_tick) {
    chronobel_state& state = session.state;
    if (state.auto_due.load() != 0) {
        start_tick.store(0);
        state.auto_due.exchange(0);
        session.host.disarm_auto_timer();
    }
    apply_auto_page(session, page);
    update_options_page(session, page);
}

void service_command(options_session& session, option_page_view& page, int id) {
    if (!time_privilege_held) {
        session.host.relaunch_elevated();
        return;
    }
    page.enable(IDC_SERVICE_INSTALL, false);
    page.enable(IDC_SERVICE_RUN, false);
    const service_status status = session.service;
    if (id == IDC_SERVICE_INSTALL) {
        if (status.installed)
            session.host.remove_service(status.running);
        else
            session.host.install_service();
    } else if (status.running) {
        session.host.stop_service();
    } else {
        session.host.start_service();
    }
    page.start_service_timer();
}

// UI text 120 asks about the settings; the rest of what Reset does is said
// after it, in the program's own words (users' Strings.txt files keep 120).
constexpr char reset_also_text[] =
    "It also writes Strings.txt anew, so that texts changed there are lost, and removes the start at log-on.";

void reset_to_defaults(options_session& session, option_page_view& page) {
    const std::string question =
        std::string(session.state.ui_text(text_id::reset_all_settings)) + "\n\n" + reset_also_text;
    if (!session.host.confirm_reset(question)) return;
    chronobel_state& state = session.state;
    const bool server_was_on = state.settings.time_server_enabled != 0;
    apply_default_settings(state);
    // The defaults become the user's own settings; the policy stays on top.
    put_policy_on_top(state);
    reset_ui_strings(state);
    // The defaults switch the built-in server off: it stops now, as the
    // "Server" box stops it, instead of answering until its next pass.
    if (server_was_on && !state.settings.time_server_enabled) session.host.stop_servers();
    load_options_page(session, page);
}

// The controls a policy value governs; the administrator's choice shows
// in them and cannot be changed there.
constexpr int servers_policy_controls[] = {IDC_USE_LIST,     IDC_MANUAL_A_RADIO, IDC_MANUAL_B_RADIO,
                                           IDC_SERVER_SELECT, IDC_EDIT_LIST,     IDC_REFRESH_LIST,
                                           IDC_MANUAL_A,     IDC_MANUAL_B};
constexpr int protocol_policy_controls[] = {IDC_PROTOCOL};
constexpr int autosync_policy_controls[] = {IDC_AUTOSYNC_ENABLED, IDC_AUTOSYNC_COUNT, IDC_AUTOSYNC_UPDOWN,
                                            IDC_AUTOSYNC_UNIT, IDC_AUTOSYNC_RESET};
constexpr int server_policy_controls[] = {IDC_TIME_SERVER};
constexpr int average_policy_controls[] = {IDC_AVERAGE};

struct policy_controls {
    policy_id policy;
    std::span<const int> ids;
};
constexpr policy_controls governed_controls[] = {
    {policy_id::servers, servers_policy_controls},   {policy_id::protocol, protocol_policy_controls},
    {policy_id::autosync_minutes, autosync_policy_controls}, {policy_id::server, server_policy_controls},
    {policy_id::average, average_policy_controls},
};

// Under LockSettings these stay usable: they only show something.
constexpr int showing_controls[] = {IDC_OPTIONS_HELP, IDC_VIEW_LOG, IDC_SCAN};

bool only_shows(int id) {
    return std::find(std::begin(showing_controls), std::end(showing_controls), id) != std::end(showing_controls);
}

bool changes_something(const option_control& control) {
    return control.kind != control_kind::label && control.kind != control_kind::group && !only_shows(control.id);
}

void lock_control(option_page_view& page, int id) {
    if (!page.has(id)) return;
    page.enable(id, false);
    page.set_tooltip(id, set_by_administrator_text);
}

// After the enable rules: what the policy governs is disabled and says why.
void lock_governed_controls(const machine_policy& policy, option_page_view& page) {
    for (const policy_controls& governed : governed_controls)
        if (policy.governs(governed.policy))
            for (int id : governed.ids) lock_control(page, id);
    if (!policy.lock_settings) return;
    for (int i = 0; i < option_page_count; ++i)
        for (const option_control& control : option_page_controls(static_cast<option_page>(i)))
            if (changes_something(control)) lock_control(page, control.id);
    for (const number_box& box : option_number_boxes) lock_control(page, box.updown);
}

// A click of the page's buttons and check boxes.
bool page_command(options_session& session, option_page_view& page, int id) {
    chronobel_state& state = session.state;
    switch (id) {
        case IDC_USE_LIST:
        case IDC_MANUAL_A_RADIO:
        case IDC_MANUAL_B_RADIO:
            apply_servers_page(session, page);
            update_options_page(session, page);
            return true;
        case IDC_EDIT_LIST: session.host.open_file(locate_data_file(state, server_list_file_name)); return true;
        case IDC_REFRESH_LIST: {
            server_select_list list(page);
            refresh_server_list(state, &list);
            return true;
        }
        case IDC_SCAN: session.host.open_scan_window(); return true;
        case IDC_AUTOSYNC_ENABLED:
        case IDC_AUTOSYNC_RESET: restart_auto_period(session, page, state.autosync_start_tick); return true;
        case IDC_AUTOCHECK_ENABLED:
        case IDC_AUTOCHECK_RESET: restart_auto_period(session, page, state.autocheck_start_tick); return true;
        case IDC_DATE_RANGE_ENABLED:
            apply_system_page(session, page);
            update_options_page(session, page);
            return true;
        case IDC_DATE_RANGE_RESET:
            reset_date_range(state);
            show_date_ranges(session, page);
            return true;
        case IDC_SERVICE_INSTALL:
        case IDC_SERVICE_RUN: service_command(session, page, id); return true;
        case IDC_NO_LOG:
        case IDC_TRAY:
        case IDC_TIME_SERVER:
            apply_misc_page(session, page);
            update_options_page(session, page);
            return true;
        case IDC_VIEW_LOG: session.host.open_file(locate_data_file(state, L"dLog.txt")); return true;
        case IDC_RESET_DEFAULTS: reset_to_defaults(session, page); return true;
        case IDC_OPTIONS_HELP: session.host.open_readme(); return true;
        default: return false;
    }
}

// The settings a policy decides stay as it says, whatever a page held.
void keep_policy(chronobel_state& state) { apply_policy(state.policy, state.settings, state.engine); }

}  // namespace

std::int32_t clamp_auto_count(std::uint32_t value) { return static_cast<std::int32_t>(std::clamp(value, 1u, 99u)); }
std::int32_t clamp_timeout(std::uint32_t value) { return static_cast<std::int32_t>(std::clamp(value, 5u, 99u)); }
std::int32_t clamp_offset(std::uint32_t value) { return static_cast<std::int32_t>(std::min(value, 99u)); }

options_session begin_options(chronobel_state& state, options_host& host) {
    options_sheet_open = 1;
    const settings_record& s = state.settings;
    return options_session{.state = state,
                           .host = host,
                           .autosync_count = s.autosync_count,
                           .autosync_unit = s.autosync_unit,
                           .autocheck_count = s.autocheck_count,
                           .autocheck_unit = s.autocheck_unit,
                           .autosync_enabled = s.autosync_enabled,
                           .autocheck_enabled = s.autocheck_enabled};
}

void end_options(options_session& session) {
    chronobel_state& state = session.state;
    const settings_record& s = state.settings;
    session.host.set_topmost(s.on_top != 0);
    // A count or unit changed while its timer was armed: the timer now
    // measures the new period (from the period's old start).
    const bool changed = s.autosync_count != session.autosync_count || s.autosync_unit != session.autosync_unit ||
                         s.autocheck_count != session.autocheck_count || s.autocheck_unit != session.autocheck_unit ||
                         s.autosync_enabled != session.autosync_enabled ||
                         s.autocheck_enabled != session.autocheck_enabled;
    if (changed && state.auto_due.load() != 0) {
        session.host.disarm_auto_timer();
        state.auto_due.exchange(0);
    }
    if (changed && (s.autosync_enabled || s.autocheck_enabled) && state.auto_due.load() == 0)
        session.host.arm_auto_timer();
    session.host.save_settings();
    options_sheet_open = 0;
}

void fill_options_page(options_session& session, option_page_view& page) {
    chronobel_state& state = session.state;
    for (const ui_text_pair* pair = option_label_table; pair->ui_string != end_of_text_table; ++pair)
        if (page.has(pair->control)) page.set_caption(pair->control, state.ui_text(pair->ui_string));
    for (const ui_text_pair* pair = option_tooltip_table; pair->ui_string != end_of_text_table; ++pair)
        if (page.has(pair->control)) page.set_tooltip(pair->control, state.ui_text(pair->ui_string));
    for (int id : {IDC_PROTOCOL, IDC_AUTOSYNC_UNIT, IDC_AUTOCHECK_UNIT, IDC_OFFSET_DIRECTION, IDC_OFFSET_MULTIPLIER,
                   IDC_ON_WINDOWS_START, IDC_ON_PROGRAM_START}) {
        if (!page.has(id)) continue;
        int position = 0;
        for (const list_item& item : option_list_items(id))
            page.insert_item(id, position++, item.literal ? item.literal : state.ui_text(item.ui_string));
    }
    if (page.has(IDC_SERVICE_INSTALL)) session.service = session.host.query_service();
    load_options_page(session, page);
}

void load_options_page(options_session& session, option_page_view& page) {
    chronobel_state& state = session.state;
    const settings_record& s = state.settings;
    query_engine& e = state.engine;
    if (page.has(IDC_MANUAL_A)) page.set_address(IDC_MANUAL_A, e.manual_a);
    if (page.has(IDC_MANUAL_B)) page.set_address(IDC_MANUAL_B, e.manual_b);
    if (page.has(IDC_OFFSET_DIRECTION)) page.set_selection(IDC_OFFSET_DIRECTION, s.offset_direction);
    if (page.has(IDC_SERVER_SELECT)) {
        server_select_list list(page);
        refresh_server_list(state, &list);
    }
    if (page.has(IDC_USE_LIST)) {
        for (int i = 0; i < 3; ++i) page.set_checked(IDC_USE_LIST + i, e.server_source == i);
    }
    const std::pair<int, std::int32_t> numbers[] = {{IDC_OFFSET_AMOUNT, s.offset_amount},
                                                    {IDC_TIMEOUT, s.sync_timeout_s},
                                                    {IDC_AUTOSYNC_COUNT, s.autosync_count},
                                                    {IDC_AUTOCHECK_COUNT, s.autocheck_count}};
    for (const auto& [id, value] : numbers)
        if (page.has(id)) page.set_number(id, static_cast<std::uint32_t>(value));
    for (const check_setting& c : check_settings)
        if (page.has(c.id)) page.set_checked(c.id, *c.field(state) != 0);
    if (page.has(IDC_DATE_RANGE_ENABLED)) page.set_checked(IDC_DATE_RANGE_ENABLED, e.date_range_enabled != 0);
    if (page.has(IDC_DATE_RANGE_AUTO_RESET)) page.set_checked(IDC_DATE_RANGE_AUTO_RESET, e.date_range_auto_reset != 0);
    if (page.has(IDC_TIME_SERVER)) page.set_checked(IDC_TIME_SERVER, s.time_server_enabled != 0);
    if (page.has(IDC_PROTOCOL)) page.set_selection(IDC_PROTOCOL, e.protocol);
    for (const list_setting& l : list_settings)
        if (page.has(l.id)) page.set_selection(l.id, *l.field(state));
    show_date_ranges(session, page);
    update_options_page(session, page);
}

void update_options_page(options_session& session, option_page_view& page) {
    const settings_record& s = session.state.settings;
    const std::int32_t source = session.state.engine.server_source;
    for (int id : {IDC_AUTOSYNC_RESET, IDC_AUTOSYNC_UNIT, IDC_AUTOSYNC_COUNT}) enable_if_present(page, id, s.autosync_enabled);
    for (int id : {IDC_AUTOCHECK_COUNT, IDC_AUTOCHECK_UNIT, IDC_AUTOCHECK_RESET})
        enable_if_present(page, id, s.autocheck_enabled);
    enable_if_present(page, IDC_MANUAL_A, source == source_manual_a);
    enable_if_present(page, IDC_MANUAL_B, source == source_manual_b);
    for (int id : {IDC_DEFAULT_SERVER_ONLY, IDC_EDIT_LIST, IDC_REFRESH_LIST, IDC_SCAN, IDC_SERVER_SELECT})
        enable_if_present(page, id, source == source_list);
    enable_if_present(page, IDC_RESIDENT, s.tray);
    for (int id : {IDC_DATE_AFTER, IDC_DATE_BEFORE, IDC_DATE_RANGE_RESET, IDC_DATE_RANGE_AUTO_RESET})
        enable_if_present(page, id, session.state.engine.date_range_enabled);
    for (int id = IDC_LOG_SYNCS; id <= IDC_LOG_OLD_TIME; ++id) enable_if_present(page, id, !s.log_disabled);
    if (page.has(IDC_SERVICE_INSTALL)) update_service_buttons(session, page);
    lock_governed_controls(session.state.policy, page);
}

void apply_servers_page(options_session& session, option_page_view& page) {
    query_engine& e = session.state.engine;
    std::int32_t source = source_manual_b;  // no radio checked
    for (int i = 0; i < 3; ++i) {
        if (page.checked(IDC_USE_LIST + i)) {
            source = i;
            break;
        }
    }
    store_flag(session.state.settings.default_server_only, page.checked(IDC_DEFAULT_SERVER_ONLY));
    const std::string manual_a = page.address(IDC_MANUAL_A), manual_b = page.address(IDC_MANUAL_B);
    const std::int32_t protocol = selected_or(page, IDC_PROTOCOL, e.protocol);
    // Nothing selected (an empty list): the index stays.
    const std::int32_t index = selected_or(page, IDC_SERVER_SELECT, e.server_index);
    change_query_inputs(e, [&](query_engine& inputs) {
        inputs.server_source = source;
        inputs.manual_a = manual_a;
        inputs.manual_b = manual_b;
        inputs.protocol = protocol;
        inputs.server_index = index;
    });
}

void apply_auto_page(options_session& session, option_page_view& page) {
    chronobel_state& state = session.state;
    settings_record& s = state.settings;
    options_host& host = session.host;
    s.autosync_count = clamp_auto_count(page.number(IDC_AUTOSYNC_COUNT));
    s.autosync_unit = selected_or(page, IDC_AUTOSYNC_UNIT, s.autosync_unit);
    store_flag(s.autosync_enabled, page.checked(IDC_AUTOSYNC_ENABLED));
    if (s.autosync_enabled) {
        if (state.auto_due.load() == 0) host.arm_auto_timer();
    } else if (state.auto_due.load() != 0) {
        host.disarm_auto_timer();
        state.auto_due.exchange(0);
        if (s.autocheck_enabled) host.arm_auto_timer();
    }
    s.autocheck_count = clamp_auto_count(page.number(IDC_AUTOCHECK_COUNT));
    s.autocheck_unit = selected_or(page, IDC_AUTOCHECK_UNIT, s.autocheck_unit);
    store_flag(s.autocheck_enabled, page.checked(IDC_AUTOCHECK_ENABLED));
    if (!s.autocheck_enabled) {
        if (state.auto_due.load() != 0) {
            host.disarm_auto_timer();
            state.auto_due.exchange(0);
            if (s.autosync_enabled) host.arm_auto_timer();
        }
    } else if (state.auto_due.load() == 0) {
        host.arm_auto_timer();
    }
}

void apply_system_page(options_session& session, option_page_view& page) {
    settings_record& s = session.state.settings;
    query_engine& e = session.state.engine;
    s.offset_direction = selected_or(page, IDC_OFFSET_DIRECTION, s.offset_direction);
    s.offset_multiplier = selected_or(page, IDC_OFFSET_MULTIPLIER, s.offset_multiplier);
    s.on_windows_start = selected_or(page, IDC_ON_WINDOWS_START, s.on_windows_start);
    s.on_program_start = selected_or(page, IDC_ON_PROGRAM_START, s.on_program_start);
    s.offset_amount = clamp_offset(page.number(IDC_OFFSET_AMOUNT));
    s.sync_timeout_s = clamp_timeout(page.number(IDC_TIMEOUT));
    const bool range_on = page.checked(IDC_DATE_RANGE_ENABLED), auto_reset = page.checked(IDC_DATE_RANGE_AUTO_RESET);
    const filetime after = page.date(IDC_DATE_AFTER), before = page.date(IDC_DATE_BEFORE);
    change_query_inputs(e, [&](query_engine& inputs) {
        store_flag(inputs.date_range_enabled, range_on);
        store_flag(inputs.date_range_auto_reset, auto_reset);
        inputs.date_after = after;
        inputs.date_before = before;
    });
}

void apply_misc_page(options_session& session, option_page_view& page) {
    chronobel_state& state = session.state;
    for (const check_setting& c : check_settings)
        if (page.has(c.id)) store_flag(*c.field(state), page.checked(c.id));
    std::uint8_t& server = state.settings.time_server_enabled;
    const bool wanted = page.checked(IDC_TIME_SERVER);
    if (wanted && !server) {
        server = 1;  // before the threads start, so that they find it set
        session.host.start_servers();
    } else if (!wanted && server) {
        session.host.stop_servers();
        server = 0;
    }
}

void apply_options_page(options_session& session, option_page_view& page, option_page which) {
    chronobel_state& state = session.state;
    if (state.policy.lock_settings) return;
    switch (which) {
        case option_page::servers: apply_servers_page(session, page); break;
        case option_page::automatic: apply_auto_page(session, page); break;
        case option_page::system: apply_system_page(session, page); break;
        case option_page::misc: apply_misc_page(session, page); break;
    }
    keep_policy(state);
}

bool options_page_command(options_session& session, option_page_view& page, std::uintptr_t command) {
    const int id = command <= 0xFFFF ? static_cast<int>(command) : -1;
    if (id < 0 || !page.has(id)) return false;
    chronobel_state& state = session.state;
    if (state.policy.lock_settings && !only_shows(id)) return true;
    const bool handled = page_command(session, page, id);
    keep_policy(state);
    return handled;
}

void service_timer_elapsed(options_session& session, option_page_view& page) {
    session.service = session.host.query_service();
    page.enable(IDC_SERVICE_INSTALL, true);
    update_options_page(session, page);
}

}  // namespace orvane
