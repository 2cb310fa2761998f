#include <windows.h>
#include <cstring>
#include "sys/timezone.h"
#include "sys/win32/owned_handle.h"

namespace orvane {
namespace {

static_assert(sizeof(TIME_ZONE_INFORMATION) == sizeof(time_zone_information));
static_assert(sizeof(wchar_t) == sizeof(char16_t));

// Since Vista the zone may only be written with this privilege enabled;
// the account may not hold it, and then the write fails and says so.
void enable_time_zone_privilege() {
    owned_kernel_handle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.out())) return;
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (LookupPrivilegeValueW(nullptr, L"SeTimeZonePrivilege", &privileges.Privileges[0].Luid))
        AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr);
}

class windows_time_zone final : public time_zone_system {
public:
    zone_reading read() override {
        TIME_ZONE_INFORMATION tzi{};
        const DWORD id = GetTimeZoneInformation(&tzi);
        zone_reading reading;
        if (id == TIME_ZONE_ID_INVALID) return reading;
        reading.ok = true;
        reading.period = id == TIME_ZONE_ID_DAYLIGHT   ? zone_period_daylight
                         : id == TIME_ZONE_ID_STANDARD ? zone_period_standard
                                                       : zone_period_none;
        std::memcpy(&reading.zone, &tzi, sizeof tzi);
        return reading;
    }

    zone_write write(const time_zone_information& zone) override {
        enable_time_zone_privilege();
        TIME_ZONE_INFORMATION tzi{};
        std::memcpy(&tzi, &zone, sizeof tzi);
        if (SetTimeZoneInformation(&tzi)) return {zone_written, 0};
        return {zone_write_failed, static_cast<std::uint32_t>(GetLastError())};
    }

    // A window that does not answer is passed over, and no window keeps the
    // caller longer than a second.
    void broadcast_change() override {
        SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, 0, SMTO_ABORTIFHUNG, 1000, nullptr);
    }

    // The registry keys its zones by their English standard names; where
    // the system names them in another language, the zone in force is
    // found under the key name the system gives for it.
    bool display_name(std::u16string_view zone_name, std::u16string& out) override {
        const std::wstring name(reinterpret_cast<const wchar_t*>(zone_name.data()), zone_name.size());
        if (read_display(name, out)) return true;
        DYNAMIC_TIME_ZONE_INFORMATION dynamic{};
        if (GetDynamicTimeZoneInformation(&dynamic) == TIME_ZONE_ID_INVALID) return false;
        if (name != dynamic.StandardName || name == dynamic.TimeZoneKeyName) return false;
        return read_display(dynamic.TimeZoneKeyName, out);
    }

private:
    static bool read_display(const std::wstring& key_name, std::u16string& out) {
        if (key_name.empty()) return false;
        const std::wstring path = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones\\" + key_name;
        owned_key key;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, key.out()) != ERROR_SUCCESS)
            return false;
        wchar_t text[300]{};
        DWORD type = 0;
        DWORD size = sizeof text - sizeof(wchar_t);  // always room for the terminator
        if (RegQueryValueExW(key.get(), L"Display", nullptr, &type, reinterpret_cast<BYTE*>(text), &size) !=
                ERROR_SUCCESS ||
            type != REG_SZ)
            return false;
        out.assign(reinterpret_cast<const char16_t*>(text));
        return true;
    }
};

}  // namespace

time_zone_system& system_time_zone() {
    static windows_time_zone zone;
    return zone;
}

std::string zone_name_text(std::u16string_view name) {
    if (name.empty()) return {};
    const auto* wide = reinterpret_cast<const wchar_t*>(name.data());
    const int length = static_cast<int>(name.size());
    const int bytes = WideCharToMultiByte(CP_ACP, 0, wide, length, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return {};
    std::string out(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide, length, out.data(), bytes, nullptr, nullptr);
    return out;
}

}  // namespace orvane
