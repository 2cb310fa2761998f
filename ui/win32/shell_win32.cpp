#include "ui/win32/shell_win32.h"
#include <windows.h>
#include <shellapi.h>

namespace orvane {

bool open_in_shell(const std::wstring& path, shell_item kind) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    if (((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) != (kind == shell_item::folder)) return false;
    HINSTANCE result = ShellExecuteW(nullptr, nullptr, path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

}  // namespace orvane
