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
    {IDC_TIME_SERVER, k::check},     {IDC_AVERAGE, k::check},        {IDC_RESET_DEFAULTS, k::button},
    {IDC_OPTIONS_HELP, k::button},
};

constexpr list_item protocol_items[] = {{0, "TIME (RFC-868)"}, {0, "SNTP (RFC-2030)"}, {38, nullptr}};
constexpr list_item auto_unit_items[] = {{97, nullptr}, {98, nullptr}, {99, nullptr}};
constexpr list_item direction_items[] = {{77, nullptr}, {78, nullptr}};
constexpr list_item multiplier_items[] = {{20, nullptr}, {97, nullptr}, {98, nullptr}};
constexpr list_item start_items[] = {{115, nullptr}, {116, nullptr}, {117, nullptr}};

}  // namespace

const ui_text_pair option_label_table[] = {
    {33, 1004}, {30, 1035}, {31, 1036}, {32, 1037}, {35, 1027}, {36, 1028}, {34, 1022}, {37, 1200},
    {42, 1201}, {43, 1202}, {39, 1016}, {41, 1029}, {40, 1009}, {40, 1042}, {40, 1031}, {63, 1030},
    {64, 1050}, {65, 1203}, {67, 1204}, {73, 1205}, {74, 1206}, {75, 1207}, {66, 1208}, {68, 1209},
    {69, 1210}, {71, 1211}, {72, 1212}, {45, 1001}, {48, 1044}, {51, 1048}, {46, 1043}, {8, 1045},
    {47, 1046}, {50, 1049}, {52, 1047}, {53, 1012}, {54, 1039}, {57, 1021}, {59, 1014}, {55, 1019},
    {56, 1026}, {58, 1015}, {8, 1038},  {40, 7},    {23, 6},    {61, 1213}, {end_of_text_table, 0},
};

// Each control shows the line that describes it, including the fourteen
// whose own lines in the default table describe something else.
const ui_text_pair option_tooltip_table[] = {
    // Servers
    {215, IDC_USE_LIST}, {127, IDC_MANUAL_A_RADIO}, {127, IDC_MANUAL_B_RADIO}, {137, IDC_SERVER_SELECT},
    {129, IDC_DEFAULT_SERVER_ONLY}, {126, IDC_EDIT_LIST}, {158, IDC_REFRESH_LIST}, {162, IDC_SCAN},
    {128, IDC_MANUAL_A}, {128, IDC_MANUAL_B}, {213, IDC_PROTOCOL},
    // Auto
    {140, IDC_AUTOSYNC_ENABLED}, {141, IDC_AUTOSYNC_COUNT}, {142, IDC_AUTOSYNC_UNIT}, {147, IDC_AUTOSYNC_RESET},
    {144, IDC_AUTOCHECK_ENABLED}, {145, IDC_AUTOCHECK_COUNT}, {146, IDC_AUTOCHECK_UNIT}, {148, IDC_AUTOCHECK_RESET},
    // System
    {222, IDC_DATE_RANGE_ENABLED}, {223, IDC_DATE_RANGE_RESET}, {224, IDC_DATE_AFTER}, {225, IDC_DATE_BEFORE},
    {218, IDC_DATE_RANGE_AUTO_RESET}, {5, IDC_TIMEOUT}, {219, IDC_OFFSET_DIRECTION}, {220, IDC_OFFSET_AMOUNT},
    {49, IDC_OFFSET_MULTIPLIER}, {216, IDC_ON_WINDOWS_START}, {217, IDC_ON_PROGRAM_START},
    // Misc
    {163, IDC_NO_LOG}, {164, IDC_LOG_SYNCS}, {167, IDC_LOG_CHECKS}, {165, IDC_LOG_ERRORS}, {166, IDC_LOG_SERVER},
    {229, IDC_LOG_OLD_TIME}, {169, IDC_LOG_RESPONSE}, {228, IDC_LOG_CORRECTION}, {149, IDC_VIEW_LOG},
    {153, IDC_MINOR}, {130, IDC_TRAY}, {226, IDC_RESIDENT}, {201, IDC_START_MINIMISED}, {133, IDC_ON_TOP},
    {135, IDC_TIME_SERVER}, {134, IDC_AVERAGE}, {161, IDC_RESET_DEFAULTS}, {199, IDC_OPTIONS_HELP},
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

int option_page_title(option_page page) {
    constexpr int titles[] = {7, 38, 62, 44};
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
