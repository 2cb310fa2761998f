#include <windows.h>
#include "platform/service_folder_win32.h"
#include "core/paths.h"
#include "sys/files.h"
#include "sys/win32/owned_handle.h"

namespace orvane {
namespace {

enum class read_result { found, missing, failed };

// One REG_SZ value of 300 characters at most (a buffer of 600 bytes).
read_result read_folder_value(HKEY hive, const wchar_t* key_name, const wchar_t* value_name, std::wstring& text) {
    owned_key key;
    const LSTATUS opened = RegOpenKeyExW(hive, key_name, 0, KEY_READ, key.out());
    if (opened == ERROR_FILE_NOT_FOUND) return read_result::missing;
    if (opened != ERROR_SUCCESS) return read_result::failed;
    wchar_t buffer[300];
    DWORD size = sizeof buffer;
    DWORD type = 0;
    const LSTATUS read = RegQueryValueExW(key.get(), value_name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    if (read == ERROR_FILE_NOT_FOUND) return read_result::missing;
    if (read != ERROR_SUCCESS || type != REG_SZ) return read_result::failed;
    std::size_t length = size / sizeof(wchar_t);
    while (length > 0 && buffer[length - 1] == L'\0') --length;
    text.assign(buffer, length);
    return read_result::found;
}

}  // namespace

std::wstring service_settings_folder(const chronobel_state& state) {
    std::wstring folder;
    read_result r = read_folder_value(HKEY_USERS, L".DEFAULT\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                                      L"AppData", folder);
    if (r == read_result::missing)
        r = read_folder_value(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                              L"Common AppData", folder);
    if (r != read_result::found || folder.empty()) return {};
    return folder + L"\\Orvane\\" + state.program_name + L"\\";
}

bool use_service_settings_folder(chronobel_state& state) {
    if (state.data_dir().empty() || state.data_dir() == state.program_dir()) return false;
    const std::wstring folder = service_settings_folder(state);
    if (folder.empty() || folder == state.data_dir()) return false;
    // The desktop program makes the folder when it writes the copy; the
    // service makes it too, for its log.
    const std::wstring orvane = folder.substr(0, folder.size() - state.program_name.size() - 1);
    create_directory(orvane.substr(0, orvane.size() - 1));
    create_directory(folder.substr(0, folder.size() - 1));
    state.data_path = path_set{};
    split_path(state.data_path, folder);
    return true;
}

}  // namespace orvane
