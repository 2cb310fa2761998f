// The table of the program's 250 interface texts, read from "Strings.txt".
#pragma once
#include <string>
#include "core/state.h"

namespace orvane {

// Builds the table from the file in data_dir, else program_dir, else from
// the built-in default written into data_dir, and publishes it.
void load_ui_strings(chronobel_state& state, int count, const std::wstring& file_name);
// Writes the built-in default table to data_dir + file_name: 0, or 5 when the
// file cannot be created.
int write_default_ui_strings(chronobel_state& state, const std::wstring& file_name);

}  // namespace orvane
