#include "ui/readme.h"
#include "ui/win32/shell_win32.h"

namespace orvane {

bool open_readme(const chronobel_state& state) { return open_in_shell(readme_path(state), shell_item::file); }

}  // namespace orvane
