#include "app/program.h"
#include <cwctype>
#include "core/paths.h"

namespace orvane {

wchar_t switch_letter(const std::wstring& argument) {
    wchar_t buffer[100] = {};
    argument.copy(buffer, sizeof buffer / sizeof buffer[0] - 1);
    if (buffer[0] == 0 || buffer[1] == 0) return 0;
    return static_cast<wchar_t>(std::towlower(static_cast<wint_t>(buffer[1])));
}

void init_identity(chronobel_state& state, const std::wstring& exe_name) {
    state.exe_name = exe_name;
    state.program_name = L"Chronobel";
    locate_directories(state);
}

void note_silent_start(chronobel_state& state) {
    started_silent = 1;
    state.settings.start_minimised = 1;
}

}  // namespace orvane
