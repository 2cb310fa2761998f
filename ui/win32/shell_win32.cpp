#include "ui/win32/shell_win32.h"
#include <windows.h>
#include <shellapi.h>
#include "sys/win32/owned_handle.h"

namespace orvane {
namespace {

// Notepad from the system folder, never one found beside the program.
bool open_in_notepad(const std::wstring& path) {
    wchar_t system[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return false;
    const std::wstring program = std::wstring(system) + L"\\notepad.exe";
    std::wstring command = L"\"" + program + L"\" \"" + path + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &started))
        return false;
    const owned_kernel_handle process(started.hProcess), thread(started.hThread);
    return true;
}

}  // namespace

bool open_in_shell(const std::wstring& path, shell_item kind) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    if (((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) != (kind == shell_item::folder)) return false;
    HINSTANCE result = ShellExecuteW(nullptr, nullptr, path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

bool open_text_file(const std::wstring& path) {
    SHELLEXECUTEINFOW execute{};
    execute.cbSize = sizeof execute;
    execute.fMask = SEE_MASK_FLAG_NO_UI;  // no "Open with" box: Notepad instead
    execute.lpFile = path.c_str();
    execute.nShow = SW_SHOWNORMAL;
    if (ShellExecuteExW(&execute)) return true;
    const auto error = reinterpret_cast<INT_PTR>(execute.hInstApp);
    const bool no_program = error == SE_ERR_NOASSOC || error == SE_ERR_ASSOCINCOMPLETE ||
                            GetLastError() == ERROR_NO_ASSOCIATION;
    return no_program && open_in_notepad(path);
}

}  // namespace orvane
