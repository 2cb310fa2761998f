#include "data/builtin_file.h"
#include "sys/files.h"
#include "sys/resources.h"

namespace orvane {

bool write_builtin_file(int id, const std::wstring& path) {
    const std::string_view bytes = builtin_resource(id);
    if (bytes.empty()) return false;
    // Whole or not at all: a file cut short would never be written again,
    // as an existing data file is kept.
    return write_file_replacing(path, bytes.data(), bytes.size());
}

}  // namespace orvane
