// Shows one of the program's dialogs as the program opens it, for the
// whole-program scripts that look at it from outside:
//   dialog_show time-zone|about
// Copied as "Chronobel.exe" into a directory of its own, it finds and makes
// its data files there as the program does. The exit code is the dialog's
// result (2 on bad usage).
#include <windows.h>
#include <commctrl.h>
#include <string>
#include "app/program.h"
#include "core/state.h"
#include "ui/about_dialog_win32.h"
#include "ui/time_zone_dialog_win32.h"

using namespace orvane;

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return 2;
    const std::wstring dialog = argv[1];
    chronobel_state state;
    state.h_instance = GetModuleHandleW(nullptr);
    init_identity(state, L"Chronobel.exe");
    load_data_files(state);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    if (dialog == L"time-zone") return show_time_zone_dialog(nullptr, state);
    if (dialog == L"about") return show_about_dialog(nullptr, state);
    return 2;
}
