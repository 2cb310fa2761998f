#include "data/builtin_file.h"
#include "sys/files.h"
#include "sys/resources.h"

namespace orvane {

bool write_builtin_file(int id, const std::wstring& path) {
    const std::string_view bytes = builtin_resource(id);
    if (bytes.empty()) return false;
    sys_file file = create_always(path);
    return file.is_open() && file.write(bytes.data(), bytes.size()) == bytes.size();
}

}  // namespace orvane
