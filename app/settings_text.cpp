#include "app/settings_text.h"
#include <cstdio>
#include <cstdlib>
#include <cctype>
#include <cerrno>
#include <atomic>
#include "sys/time_types.h"

namespace orvane {
namespace {

enum class kind { number, flag, address, date };

struct setting_entry {
    const char* name;
    kind type;
    std::int32_t low, high;  // numbers: the accepted range
    std::int32_t* (*number)(chronobel_state&);
    std::uint8_t* (*flag)(chronobel_state&);
    std::string* (*text)(chronobel_state&);
    std::atomic<filetime>* (*date)(chronobel_state&);
};

#define NUMBER(field, lo, hi) \
    {#field, kind::number, lo, hi, [](chronobel_state& s) { return &s.settings.field; }, nullptr, nullptr, nullptr}
#define ENGINE_NUMBER(field, lo, hi) \
    {#field, kind::number, lo, hi, [](chronobel_state& s) { return &s.engine.field; }, nullptr, nullptr, nullptr}
#define FLAG(field) \
    {#field, kind::flag, 0, 1, nullptr, [](chronobel_state& s) { return &s.settings.field; }, nullptr, nullptr}
// The settings beside dSync.dat (core/extra_settings.h).
#define EXTRA_FLAG(field) \
    {#field, kind::flag, 0, 1, nullptr, [](chronobel_state& s) { return &s.extras.field; }, nullptr, nullptr}
#define ENGINE_FLAG(field) \
    {#field, kind::flag, 0, 1, nullptr, [](chronobel_state& s) { return &s.engine.field; }, nullptr, nullptr}
#define ADDRESS(field) \
    {#field, kind::address, 0, 0, nullptr, nullptr, [](chronobel_state& s) { return &s.engine.field; }, nullptr}
#define DATE(field) \
    {#field, kind::date, 0, 0, nullptr, nullptr, nullptr, [](chronobel_state& s) { return &s.engine.field; }}

const setting_entry entries[] = {
    ENGINE_NUMBER(server_source, 0, 2),
    ENGINE_NUMBER(server_index, 0, 1'000'000),
    ENGINE_NUMBER(protocol, 0, 2),
    ADDRESS(manual_a),
    ADDRESS(manual_b),
    ENGINE_FLAG(date_range_enabled),
    ENGINE_FLAG(date_range_auto_reset),
    DATE(date_after),
    DATE(date_before),
    NUMBER(on_windows_start, 0, 2),
    NUMBER(on_program_start, 0, 2),
    NUMBER(sync_timeout_s, 5, 99),
    NUMBER(autosync_count, 1, 99),
    NUMBER(autosync_unit, 0, 2),
    NUMBER(autocheck_count, 1, 99),
    NUMBER(autocheck_unit, 0, 2),
    NUMBER(offset_direction, 0, 1),
    NUMBER(offset_amount, 0, 99),
    NUMBER(offset_multiplier, 0, 2),
    FLAG(autosync_enabled),
    FLAG(autocheck_enabled),
    FLAG(default_server_only),
    FLAG(time_server_enabled),
    FLAG(tray),
    FLAG(resident),
    FLAG(average),
    FLAG(on_top),
    FLAG(minor),
    FLAG(start_minimised),
    FLAG(transparent),
    FLAG(time_zone_locked),
    FLAG(log_disabled),
    FLAG(log_syncs),
    FLAG(log_checks),
    FLAG(log_errors),
    FLAG(log_server),
    FLAG(log_old_time),
    FLAG(log_response),
    FLAG(log_correction),
    EXTRA_FLAG(balloons),
};

#undef NUMBER
#undef ENGINE_NUMBER
#undef FLAG
#undef ENGINE_FLAG
#undef EXTRA_FLAG
#undef ADDRESS
#undef DATE

bool parse_number(const std::string& text, long long& out) {
    if (text.empty() || text.size() > 12) return false;
    char* end = nullptr;
    errno = 0;
    out = std::strtoll(text.c_str(), &end, 10);
    return errno == 0 && end == text.c_str() + text.size() && (std::isdigit(static_cast<unsigned char>(text[0])) || text[0] == '-');
}

// Dotted IPv4 text: four numbers 0-255, nothing else.
bool valid_address(const std::string& text) {
    unsigned a, b, c, d;
    char extra;
    if (text.size() > 15 || std::sscanf(text.c_str(), "%3u.%3u.%3u.%3u%c", &a, &b, &c, &d, &extra) != 4) return false;
    for (char ch : text)
        if (!std::isdigit(static_cast<unsigned char>(ch)) && ch != '.') return false;
    return a < 256 && b < 256 && c < 256 && d < 256;
}

// "YYYY-MM-DD" or "YYYY-MM-DD HH:MM:SS", local time as the date pickers hold it.
bool parse_date(const std::string& text, filetime& out) {
    unsigned y, mo, d, h = 0, mi = 0, s = 0;
    char extra;
    int n = std::sscanf(text.c_str(), "%4u-%2u-%2u %2u:%2u:%2u%c", &y, &mo, &d, &h, &mi, &s, &extra);
    if (n != 3 && n != 6) return false;
    const system_time st{static_cast<std::uint16_t>(y), static_cast<std::uint16_t>(mo), 0,
                         static_cast<std::uint16_t>(d), static_cast<std::uint16_t>(h),
                         static_cast<std::uint16_t>(mi), static_cast<std::uint16_t>(s), 0};
    return system_time_to_filetime(st, out);
}

}  // namespace

std::vector<std::string> settings_as_text(const chronobel_state& state) {
    auto& s = const_cast<chronobel_state&>(state);  // the accessors serve reading and writing
    std::vector<std::string> lines;
    for (const setting_entry& e : entries) {
        std::string value;
        switch (e.type) {
            case kind::number: value = std::to_string(*e.number(s)); break;
            case kind::flag: value = std::to_string(int{*e.flag(s)}); break;
            case kind::address: value = *e.text(s); break;
            case kind::date: value = date_time_text(filetime_to_system_time(*e.date(s))); break;
        }
        lines.push_back(std::string(e.name) + " = " + value);
    }
    return lines;
}

std::string apply_setting_text(chronobel_state& state, const std::string& assignment) {
    const std::size_t equals = assignment.find('=');
    if (equals == std::string::npos) return "expected name=value, got '" + assignment + "'";
    const std::string name = assignment.substr(0, equals);
    const std::string value = assignment.substr(equals + 1);
    for (const setting_entry& e : entries) {
        if (name != e.name) continue;
        long long number = 0;
        switch (e.type) {
            case kind::number:
            case kind::flag:
                if (!parse_number(value, number) || number < e.low || number > e.high)
                    return name + " takes a whole number from " + std::to_string(e.low) + " to " +
                           std::to_string(e.high) + ", not '" + value + "'";
                if (e.type == kind::number)
                    *e.number(state) = static_cast<std::int32_t>(number);
                else
                    *e.flag(state) = static_cast<std::uint8_t>(number);
                return {};
            case kind::address:
                if (!valid_address(value)) return name + " takes a dotted IPv4 address, not '" + value + "'";
                *e.text(state) = value;
                return {};
            case kind::date: {
                filetime t = 0;
                if (!parse_date(value, t))
                    return name + " takes a date as YYYY-MM-DD or YYYY-MM-DD HH:MM:SS, not '" + value + "'";
                *e.date(state) = t;
                return {};
            }
        }
    }
    return "no setting is called '" + name + "'";
}

}  // namespace orvane
