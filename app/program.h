// Start-up steps that both programs share, and the command-line switches.
#pragma once
#include <string>
#include "core/state.h"
#include "data/data_files.h"

namespace orvane {

// The letter that selects a switch: the second character of the argument,
// lower-cased (any first character will do, so "/q", "-Q" and "xq" match).
// 0 when the argument is shorter than two characters. Only the first 99
// characters are looked at, as the argument is copied into a 100-character
// working buffer first.
wchar_t switch_letter(const std::wstring& argument);

// Identity and directories: names the program and finds where its files are.
void init_identity(chronobel_state& state, const std::wstring& exe_name);
// The silent start switch: starts minimised, and so does every later start
// once the settings are saved.
void note_silent_start(chronobel_state& state);

}  // namespace orvane
