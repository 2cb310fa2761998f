#include <windows.h>
#include <shlobj.h>
#include "sys/directories.h"

namespace orvane {

// The running program's own file, whatever it is called: a search by name
// could find another program of that name first, or give a relative path.
std::wstring find_program_file(const std::wstring&) {
    constexpr DWORD longest_path = 32'768;
    std::wstring buffer(longest_path, L'\0');
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), longest_path);
    if (n == 0 || n >= longest_path) return {};
    buffer.resize(n);
    return buffer;
}

bool is_removable_drive(const std::wstring& root) { return GetDriveTypeW(root.c_str()) == DRIVE_REMOVABLE; }

std::wstring user_app_data_dir() {
    wchar_t buffer[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, buffer, CSIDL_APPDATA, FALSE)) return {};
    return buffer;
}

}  // namespace orvane
