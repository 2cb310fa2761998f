// The table of the program's 250 interface texts, read from "Strings.txt".
#pragma once
#include <string>
#include "core/state.h"

namespace orvane {

inline constexpr wchar_t ui_strings_file_name[] = L"Strings.txt";

// Result of writing the default file.
enum ui_strings_result : int { ui_strings_ok = 0, ui_strings_not_written = 5 };

// Builds a new table from the file in data_dir, else program_dir, else from
// the built-in default written into data_dir, and publishes it whole. When no
// file can be read the published table is empty (every text reads "").
void load_ui_strings(chronobel_state& state, int count, const std::wstring& file_name);
// Writes the built-in default table to data_dir + file_name, replacing any
// file there: 0, or 5 when the file cannot be written.
int write_default_ui_strings(chronobel_state& state, const std::wstring& file_name);
// The options sheet's Reset: rewrites the default "Strings.txt" in data_dir
// and reloads the table (from whichever copy is found first, should the
// write fail). Returns the result of the write.
int reset_ui_strings(chronobel_state& state);

}  // namespace orvane
