// The program's manual, "ReadMe.htm" beside the program, which every Help
// button opens.
#pragma once
#include <string>
#include "core/paths.h"
#include "core/state.h"

namespace orvane {

inline std::wstring readme_path(const chronobel_state& state) {
    return join_path(state.program_dir(), L"ReadMe.htm");
}
// Opens the manual with the shell's default action (the Windows program
// only). Nothing is shown when it is missing; returns whether it was handed
// to the shell.
bool open_readme(const chronobel_state& state);

}  // namespace orvane
