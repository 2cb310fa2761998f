#include "ui/option_tables.h"
#include "resources/option_page_ids.h"

namespace orvane {
namespace {

using k = control_kind;

constexpr option_control servers_controls[] = {
    {IDC_USE_LIST, k::radio},        {IDC_MANUAL_A_RADIO, k::radio},      {IDC_MANUAL_B_RADIO, k::radio},
    {IDC_SERVER_SELECT, k::list},    {IDC_DEFAULT_SERVER_ONLY, k::check}, {IDC_EDIT_LIST, k::button},
    {IDC_REFRESH_LIST, k::button},   {IDC_SCAN, k::button},               {IDC_MANUAL_A, k::address},
    {IDC_MANUAL_B, k::address},      {IDC_PROTOCOL, k::list},             {IDC_PROTOCOL_LABEL, k::label},
};

constexpr option_control auto_controls[] = {
    {IDC_AUTOSYNC_GROUP, k::group},     {IDC_AUTOSYNC_ENABLED, k::check},  {IDC_AUTOSYNC_COUNT, k::number},
    {IDC_AUTOSYNC_UNIT, k::list},       {IDC_AUTOSYNC_RESET, k::button},   {IDC_AUTOCHECK_GROUP, k::group},
    {IDC_AUTOCHECK_ENABLED, k::check},  {IDC_AUTOCHECK_COUNT, k::number},  {IDC_AUTOCHECK_UNIT, k::list},
    {IDC_AUTOCHECK_RESET, k::button},
};

constexpr option_control system_controls[] = {
    {IDC_DATE_RANGE_GROUP, k::group},       {IDC_DATE_RANGE_ENABLED, k::check}, {IDC_DATE_RANGE_RESET, k::button},
    {IDC_AFTER_LABEL, k::label},            {IDC_DATE_AFTER, k::date},          {IDC_BEFORE_LABEL, k::label},
    {IDC_DATE_BEFORE, k::date},             {IDC_DATE_RANGE_AUTO_RESET, k::check}, {IDC_TIMEOUT_GROUP, k::group},
    {IDC_TIMEOUT, k::number},               {IDC_SECONDS_LABEL, k::label},      {IDC_OFFSET_GROUP, k::group},
    {IDC_OFFSET_DIRECTION, k::list},        {IDC_OFFSET_AMOUNT, k::number},     {IDC_OFFSET_MULTIPLIER, k::list},
    {IDC_STARTUP_GROUP, k::group},          {IDC_WINDOWS_START_LABEL, k::label}, {IDC_ON_WINDOWS_START, k::list},
    {IDC_PROGRAM_START_LABEL, k::label},    {IDC_ON_PROGRAM_START, k::list},    {IDC_SERVICE_GROUP, k::group},
    {IDC_SERVICE_INSTALL, k::button},       {IDC_SERVICE_RUN, k::button},
};

constexpr option_control misc_controls[] = {
    {IDC_LOG_GROUP, k::group},       {IDC_NO_LOG, k::check},         {IDC_LOG_SYNCS, k::check},
    {IDC_LOG_CHECKS, k::check},      {IDC_LOG_ERRORS, k::check},     {IDC_LOG_SERVER, k::check},
    {IDC_LOG_OLD_TIME, k::check},    {IDC_LOG_RESPONSE, k::check},   {IDC_LOG_CORRECTION, k::check},
    {IDC_VIEW_LOG, k::button},       {IDC_MINOR, k::check},          {IDC_TRAY, k::check},
    {IDC_RESIDENT, k::check},        {IDC_START_MINIMISED, k::check}, {IDC_ON_TOP, k::check},
    {IDC_TIME_SERVER, k::check},     {IDC_AVERAGE, k::check},        {IDC_BALLOONS, k::check},
    {IDC_RESET_DEFAULTS, k::button}, {IDC_OPTIONS_HELP, k::button},
};

constexpr list_item protocol_items[] = {
    {text_id{}, "TIME (RFC-868)"}, {text_id{}, "SNTP (RFC-2030)"}, {text_id::automatic, nullptr}};
constexpr list_item auto_unit_items[] = {
    {text_id::minutes, nullptr}, {text_id::hours, nullptr}, {text_id::days, nullptr}};
constexpr list_item direction_items[] = {{text_id::add, nullptr}, {text_id::subtract, nullptr}};
constexpr list_item multiplier_items[] = {
    {text_id::seconds, nullptr}, {text_id::minutes, nullptr}, {text_id::hours, nullptr}};
constexpr list_item start_items[] = {
    {text_id::do_nothing, nullptr}, {text_id::auto_start, nullptr}, {text_id::auto_start_sync_exit, nullptr}};

}  // namespace

const ui_text_pair option_label_table[] = {
    {text_id::default_server_only, 1004},
    {text_id::use_list, 1035},
    {text_id::manual_a, 1036},
    {text_id::manual_b, 1037},
    {text_id::refresh, 1027},
    {text_id::scan, 1028},
    {text_id::edit_list, 1022},
    {text_id::protocol, 1200},
    {text_id::autosync, 1201},
    {text_id::autocheck, 1202},
    {text_id::autosync_every, 1016},
    {text_id::autocheck_every, 1029},
    {text_id::reset, 1009},
    {text_id::reset, 1042},
    {text_id::reset, 1031},
    {text_id::enable, 1030},
    {text_id::auto_reset, 1050},
    {text_id::startup, 1203},
    {text_id::date_ranges, 1204},
    {text_id::offset, 1205},
    {text_id::sync_time_out, 1206},
    {text_id::service, 1207},
    {text_id::seconds_label, 1208},
    {text_id::after, 1209},
    {text_id::but_before, 1210},
    {text_id::on_windows_start, 1211},
    {text_id::on_chronobel_start, 1212},
    {text_id::no_log, 1001},
    {text_id::errors, 1044},
    {text_id::response, 1048},
    {text_id::syncs, 1043},
    {text_id::server, 1045},
    {text_id::checks, 1046},
    {text_id::old, 1049},
    {text_id::correction, 1047},
    {text_id::view_log, 1012},
    {text_id::minor, 1039},
    {text_id::minimise, 1021},
    {text_id::average, 1014},
    {text_id::tray, 1019},
    {text_id::resident, 1026},
    {text_id::on_top, 1015},
    {text_id::server, 1038},
    {text_id::reset, 7},
    {text_id::help, 6},
    {text_id::log, 1213},
    {end_of_text_table, 0},
};

// Each control shows the line that describes it, including the fourteen
// whose own lines in the default table describe something else.
const ui_text_pair option_tooltip_table[] = {
    // Servers
    {text_id::uses_internal_list, IDC_USE_LIST},
    {text_id::use_manual_address, IDC_MANUAL_A_RADIO},
    {text_id::use_manual_address, IDC_MANUAL_B_RADIO},
    {text_id::default_server_select, IDC_SERVER_SELECT},
    {text_id::dont_switch_servers, IDC_DEFAULT_SERVER_ONLY},
    {text_id::open_server_list, IDC_EDIT_LIST},
    {text_id::reload_server_list, IDC_REFRESH_LIST},
    {text_id::check_response_times, IDC_SCAN},
    {text_id::manual_address, IDC_MANUAL_A},
    {text_id::manual_address, IDC_MANUAL_B},
    {text_id::protocol_language, IDC_PROTOCOL},
    // Auto
    {text_id::periodically_set, IDC_AUTOSYNC_ENABLED},
    {text_id::wait_between_syncs, IDC_AUTOSYNC_COUNT},
    {text_id::autosync_unit, IDC_AUTOSYNC_UNIT},
    {text_id::autosync_offset_of_now, IDC_AUTOSYNC_RESET},
    {text_id::periodically_check, IDC_AUTOCHECK_ENABLED},
    {text_id::wait_between_checks, IDC_AUTOCHECK_COUNT},
    {text_id::autocheck_unit, IDC_AUTOCHECK_UNIT},
    {text_id::autocheck_offset_of_now, IDC_AUTOCHECK_RESET},
    // System
    {text_id::accept_range_only, IDC_DATE_RANGE_ENABLED},
    {text_id::reset_date_ranges, IDC_DATE_RANGE_RESET},
    {text_id::lowest_time_accepted, IDC_DATE_AFTER},
    {text_id::highest_time_accepted, IDC_DATE_BEFORE},
    {text_id::adjust_date_range, IDC_DATE_RANGE_AUTO_RESET},
    {text_id::wait_for_response, IDC_TIMEOUT},
    {text_id::add_or_subtract, IDC_OFFSET_DIRECTION},
    {text_id::time_difference_to_set, IDC_OFFSET_AMOUNT},
    {text_id::offset_multiplier, IDC_OFFSET_MULTIPLIER},
    {text_id::on_windows_boot, IDC_ON_WINDOWS_START},
    {text_id::on_chronobel_startup, IDC_ON_PROGRAM_START},
    // Misc
    {text_id::disable_logging, IDC_NO_LOG},
    {text_id::log_corrections, IDC_LOG_SYNCS},
    {text_id::log_checks, IDC_LOG_CHECKS},
    {text_id::log_errors, IDC_LOG_ERRORS},
    {text_id::log_server_use, IDC_LOG_SERVER},
    {text_id::include_old_time, IDC_LOG_OLD_TIME},
    {text_id::log_sync_duration, IDC_LOG_RESPONSE},
    {text_id::include_correction, IDC_LOG_CORRECTION},
    {text_id::open_log, IDC_VIEW_LOG},
    {text_id::minutes_and_seconds_only, IDC_MINOR},
    {text_id::minimise_to_tray, IDC_TRAY},
    {text_id::keep_running, IDC_RESIDENT},
    {text_id::start_minimised, IDC_START_MINIMISED},
    {text_id::stay_on_top, IDC_ON_TOP},
    {text_id::activate_time_server, IDC_TIME_SERVER},
    {text_id::check_multiple_sites, IDC_AVERAGE},
    {text_id::restore_defaults, IDC_RESET_DEFAULTS},
    {text_id::shows_readme, IDC_OPTIONS_HELP},
    {end_of_text_table, 0},
};

static_assert(sizeof option_label_table / sizeof option_label_table[0] == option_label_count + 1);
static_assert(sizeof option_tooltip_table / sizeof option_tooltip_table[0] == option_tooltip_count + 1);

const number_box option_number_boxes[4] = {
    {IDC_AUTOSYNC_COUNT, IDC_AUTOSYNC_UPDOWN},
    {IDC_AUTOCHECK_COUNT, IDC_AUTOCHECK_UPDOWN},
    {IDC_TIMEOUT, IDC_TIMEOUT_UPDOWN},
    {IDC_OFFSET_AMOUNT, IDC_OFFSET_UPDOWN},
};

int option_page_template(option_page page) {
    constexpr int templates[] = {IDD_OPTIONS_SERVERS, IDD_OPTIONS_AUTO, IDD_OPTIONS_SYSTEM, IDD_OPTIONS_MISC};
    return templates[static_cast<int>(page)];
}

text_id option_page_title(option_page page) {
    constexpr text_id titles[] = {text_id::servers, text_id::automatic, text_id::system, text_id::misc};
    return titles[static_cast<int>(page)];
}

std::span<const option_control> option_page_controls(option_page page) {
    switch (page) {
        case option_page::servers: return servers_controls;
        case option_page::automatic: return auto_controls;
        case option_page::system: return system_controls;
        case option_page::misc: return misc_controls;
    }
    return {};
}

std::span<const list_item> option_list_items(int list_id) {
    switch (list_id) {
        case IDC_PROTOCOL: return protocol_items;
        case IDC_AUTOSYNC_UNIT:
        case IDC_AUTOCHECK_UNIT: return auto_unit_items;
        case IDC_OFFSET_DIRECTION: return direction_items;
        case IDC_OFFSET_MULTIPLIER: return multiplier_items;
        case IDC_ON_WINDOWS_START:
        case IDC_ON_PROGRAM_START: return start_items;
        default: return {};
    }
}

}  // namespace orvane
