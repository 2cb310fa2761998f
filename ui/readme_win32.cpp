#include <windows.h>
#include <shellapi.h>
#include "ui/readme.h"

namespace orvane {

bool open_readme(const chronobel_state& state) {
    const std::wstring path = readme_path(state);
    // A missing manual is passed over quietly rather than left to the shell,
    // which may say so in a box of its own.
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    HINSTANCE result = ShellExecuteW(nullptr, nullptr, path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

}  // namespace orvane
