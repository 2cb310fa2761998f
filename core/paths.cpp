#include "core/paths.h"
#include <cwctype>
#include "sys/directories.h"
#include "sys/files.h"

namespace orvane {

void split_path(path_set& set, const std::wstring& full_path) {
    set.full = full_path;
    if (full_path.size() <= 3) return;
    const std::size_t last = full_path.rfind(path_separator);
    if (last != std::wstring::npos) {
        set.directory = full_path.substr(0, last + 1);
        set.file = full_path.substr(last + 1);
    }
    set.root = full_path.substr(0, 3);
}

std::wstring lower_case_path(std::wstring path) {
    for (wchar_t& c : path) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return path;
}

std::wstring join_path(const std::wstring& directory, const std::wstring& name) { return directory + name; }

void locate_directories(chronobel_state& state) {
    const std::wstring found = find_program_file(state.exe_name);
    if (found.empty()) return;  // data files are then named relative to the current directory
    split_path(state.program_path, found);
    if (!is_removable_drive(state.program_path.root) &&
        open_for_reading(join_path(state.program_dir(), L"DefSet.txt"), sharing::read).is_open()) {
        std::wstring folder = user_app_data_dir();
        create_directory(folder);  // a fresh POSIX account may have no config folder yet
        folder += path_separator;
        folder += L"Orvane";
        create_directory(folder);
        folder += path_separator;
        folder += state.program_name;
        create_directory(folder);
        folder += path_separator;
        split_path(state.data_path, folder);
    }
    if (state.data_path.full.empty()) split_path(state.data_path, state.program_dir());
}

std::wstring locate_data_file(const chronobel_state& state, const std::wstring& name) {
    std::wstring candidate = join_path(state.data_dir(), name);
    if (state.data_dir_only || open_for_reading(candidate, sharing::read).is_open()) return candidate;
    return join_path(state.program_dir(), name);
}

}  // namespace orvane
