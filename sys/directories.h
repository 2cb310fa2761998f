// Where the program file lives and where per-user data may go.
#pragma once
#include <string>

namespace orvane {

// The full path of the running program: on Windows its own module file,
// whatever its name; on POSIX only when its file is named `exe_name`.
std::wstring find_program_file(const std::wstring& exe_name);
// True when `root` names a removable drive (never on POSIX).
bool is_removable_drive(const std::wstring& root);
// The user's application-data folder, without a trailing separator; empty
// when the system has none.
std::wstring user_app_data_dir();

}  // namespace orvane
