// Saving the settings where they are needed and keeping the start at log-on
// in step with "On Windows start".
#pragma once
#include <windows.h>
#include <string>
#include "core/state.h"
#include "platform/service_data_win32.h"

namespace orvane {

// Where the saving looks and writes (the service's folder among them); the
// defaults are the program's own. Tests point them elsewhere.
struct startup_places {
    service_folder_places folders;
    std::wstring service_name = L"Chronobel";
    // The key whose value named exe_name starts the program at log-on.
    HKEY run_hive = HKEY_CURRENT_USER;
    std::wstring run_key = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
};

// The program's own places.
const startup_places& default_startup_places();

// Saves the settings into data_dir, and for an installed service its copy of
// the settings and the server list into the service's folder too, telling a
// running service to read them again; then sets or deletes the Run value.
// Does nothing in the service. A failed save is logged (under the error
// switch); a service copy that cannot be written (no administrative rights)
// is said once per run, in the status line and the log, and the service
// keeps its settings. Returns false when the settings in data_dir could not
// be saved.
bool save_settings_and_startup(chronobel_state& state, const startup_places& places = default_startup_places());

// Sets "On Windows start" from a Run value that already names this program
// (1, or 2 when it ends in " /q"); used at a first start, before any settings
// were saved, so that a start at log-on chosen at installation stays.
void adopt_start_registration(chronobel_state& state, const startup_places& places = default_startup_places());

// The Run value for a program at `program_path`: the path in double quotes,
// so that a path with blanks cannot be read as a shorter program's, and
// " /q" for "Auto Start, Sync, then Exit".
std::wstring run_value_text(const std::wstring& program_path, int on_windows_start);

}  // namespace orvane
