#include "platform/registry_win32.h"
#include "sys/win32/owned_handle.h"

namespace orvane {
namespace {

// A value that does not fit is not read at all rather than read in part.
constexpr DWORD longest_value_chars = 600;

int result_of(LONG error) {
    switch (error) {
        case ERROR_SUCCESS: return registry_done;
        case ERROR_FILE_NOT_FOUND: return registry_value_missing;
        case ERROR_ACCESS_DENIED: return registry_no_rights;
        default: return registry_failed;
    }
}

}  // namespace

int read_registry_string(HKEY hive, const std::wstring& key, const std::wstring& name, std::wstring& text) {
    text.clear();
    owned_key opened;
    if (LONG error = RegOpenKeyExW(hive, key.c_str(), 0, KEY_QUERY_VALUE, opened.out()); error != ERROR_SUCCESS)
        return result_of(error);
    wchar_t buffer[longest_value_chars + 1] = {};
    DWORD type = 0, size = longest_value_chars * sizeof(wchar_t);
    const LONG error = RegQueryValueExW(opened.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    if (error != ERROR_SUCCESS) return result_of(error);
    if (type != REG_SZ) return registry_failed;
    text.assign(buffer, size / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    return registry_done;
}

int read_registry_value(HKEY hive, const std::wstring& key, const std::wstring& name, DWORD& type,
                        std::vector<BYTE>& data, DWORD limit) {
    data.clear();
    owned_key opened;
    if (LONG error = RegOpenKeyExW(hive, key.c_str(), 0, KEY_QUERY_VALUE, opened.out()); error != ERROR_SUCCESS)
        return result_of(error);
    data.resize(limit);
    DWORD size = limit;
    const LONG error = RegQueryValueExW(opened.get(), name.c_str(), nullptr, &type, data.data(), &size);
    data.resize(error == ERROR_SUCCESS ? size : 0);
    return result_of(error);
}

namespace {

int write_registry_value(HKEY hive, const std::wstring& key, const std::wstring& name, DWORD type, const void* data,
                         DWORD size) {
    owned_key opened;
    LONG error = RegCreateKeyExW(hive, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, opened.out(), nullptr);
    if (error != ERROR_SUCCESS) return result_of(error);
    error = RegSetValueExW(opened.get(), name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
    return result_of(error);
}

}  // namespace

int write_registry_string(HKEY hive, const std::wstring& key, const std::wstring& name, const std::wstring& text,
                          DWORD type) {
    return write_registry_value(hive, key, name, type, text.c_str(),
                                static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

int write_registry_dword(HKEY hive, const std::wstring& key, const std::wstring& name, DWORD value) {
    return write_registry_value(hive, key, name, REG_DWORD, &value, sizeof value);
}

int delete_registry_value(HKEY hive, const std::wstring& key, const std::wstring& name) {
    owned_key opened;
    LONG error = RegOpenKeyExW(hive, key.c_str(), 0, KEY_SET_VALUE, opened.out());
    if (error == ERROR_SUCCESS) error = RegDeleteValueW(opened.get(), name.c_str());
    return error == ERROR_FILE_NOT_FOUND ? registry_done : result_of(error);
}

int delete_registry_key(HKEY hive, const std::wstring& key) {
    const LONG error = RegDeleteKeyW(hive, key.c_str());
    return error == ERROR_FILE_NOT_FOUND ? registry_done : result_of(error);
}

}  // namespace orvane
