#include <unistd.h>
#include <climits>
#include <cstdlib>
#include "sys/directories.h"
#include "sys/files.h"

namespace orvane {

std::wstring find_program_file(const std::wstring& exe_name) {
    char buffer[PATH_MAX + 1];
    ssize_t n = readlink("/proc/self/exe", buffer, PATH_MAX);
    if (n <= 0) return {};
    std::wstring path = widen(std::string(buffer, static_cast<std::size_t>(n)));
    // Like the search for the program by name: a renamed program is not found.
    const std::size_t slash = path.rfind(L'/');
    return path.substr(slash + 1) == exe_name ? path : std::wstring();
}

bool is_removable_drive(const std::wstring&) { return false; }

std::wstring user_app_data_dir() {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) return widen(xdg);
    if (const char* home = std::getenv("HOME"); home && *home) return widen(std::string(home) + "/.config");
    return {};
}

}  // namespace orvane
