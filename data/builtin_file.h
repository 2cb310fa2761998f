// Writes a default data file from the bytes built into the program.
#pragma once
#include <string>

namespace orvane {

// Creates `path` (replacing any file there) holding exactly the bytes of
// built-in resource `id`. False when there is no such resource, the file
// cannot be created, or not every byte was written.
bool write_builtin_file(int id, const std::wstring& path);

}  // namespace orvane
