// The program and data directories and the data files in them.
#pragma once
#include <string>
#include "core/state.h"

namespace orvane {

// Fills program_path and data_path: data lives beside the program, unless a
// "DefSet.txt" there (on a fixed drive) moves it to the user's data folder.
void locate_directories(chronobel_state& state);
// Fills the parts of `set` from `full_path`; a path of three characters or
// fewer changes only `full`.
void split_path(path_set& set, const std::wstring& full_path);
// `directory` followed by `name` (directories end in a separator).
std::wstring join_path(const std::wstring& directory, const std::wstring& name);
// A path in lower case, for comparing Windows paths, which are the same in any case.
std::wstring lower_case_path(std::wstring path);
// Where an existing data file is read: data_dir when it is there, else
// program_dir (never for the service, whose data lives in data_dir alone).
std::wstring locate_data_file(const chronobel_state& state, const std::wstring& name);

}  // namespace orvane
