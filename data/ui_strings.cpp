#include "data/ui_strings.h"

namespace orvane {

void load_ui_strings(chronobel_state&, int, const std::wstring&) {}
int write_default_ui_strings(chronobel_state&, const std::wstring&) { return 5; }

}  // namespace orvane
