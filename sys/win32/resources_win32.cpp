#include <windows.h>
#include "sys/resources.h"

namespace orvane {

std::string_view builtin_resource(int id) {
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(id));
    if (!found) return {};
    DWORD size = SizeofResource(nullptr, found);
    HGLOBAL loaded = LoadResource(nullptr, found);
    if (!loaded || size == 0) return {};
    return {static_cast<const char*>(LockResource(loaded)), size};
}

}  // namespace orvane
