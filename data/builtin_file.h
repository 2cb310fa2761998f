// Writes a default data file from the bytes built into the program.
#pragma once
#include <string>

namespace orvane {

// Creates `path` (replacing any file there) holding exactly the bytes of
// built-in resource `id`, through a temporary file beside it (see
// write_file_replacing). False when there is no such resource or the write
// failed; `path` is then as it was.
bool write_builtin_file(int id, const std::wstring& path);

}  // namespace orvane
