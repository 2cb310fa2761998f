// Handing files and folders to the shell, which opens them with their
// default action (a folder in a window of its own, a page in the browser).
#pragma once
#include <string>

namespace orvane {

enum class shell_item { file, folder };

// Opens `path` in a normal window when it is there as that kind of item;
// a missing one is passed over quietly rather than left to the shell, which
// may say so in a box of its own. Returns whether the shell opened it.
bool open_in_shell(const std::wstring& path, shell_item kind);

// Opens a text file with the program the shell has for it, without asking;
// where the shell has none (as in a fresh Wine prefix), Notepad opens it.
// Returns whether a program was started.
bool open_text_file(const std::wstring& path);

}  // namespace orvane
