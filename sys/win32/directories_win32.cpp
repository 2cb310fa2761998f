#include <windows.h>
#include <shlobj.h>
#include "sys/directories.h"

namespace orvane {

std::wstring find_program_file(const std::wstring& exe_name) {
    wchar_t buffer[1200];
    DWORD n = SearchPathW(nullptr, exe_name.c_str(), nullptr, 1200, buffer, nullptr);
    return n > 0 && n < 1200 ? std::wstring(buffer, n) : std::wstring();
}

bool is_removable_drive(const std::wstring& root) { return GetDriveTypeW(root.c_str()) == DRIVE_REMOVABLE; }

std::wstring user_app_data_dir() {
    wchar_t buffer[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, buffer, CSIDL_APPDATA, FALSE)) return {};
    return buffer;
}

}  // namespace orvane
