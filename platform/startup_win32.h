// Saving the settings where they are needed and keeping the start at log-on
// in step with "On Windows start".
#pragma once
#include <windows.h>
#include <string>
#include "core/state.h"

namespace orvane {

// Where the saving looks and writes; the defaults are the program's own.
// Tests point them elsewhere.
struct startup_places {
    std::wstring service_name = L"Chronobel";
    // The application-data folder of the account the service runs under,
    // and the one used when that account has none.
    HKEY service_folder_hive = HKEY_USERS;
    std::wstring service_folder_key = L".DEFAULT\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    std::wstring service_folder_value = L"AppData";
    HKEY common_folder_hive = HKEY_LOCAL_MACHINE;
    std::wstring common_folder_key = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    std::wstring common_folder_value = L"Common AppData";
    // The key whose value named exe_name starts the program at log-on.
    HKEY run_hive = HKEY_CURRENT_USER;
    std::wstring run_key = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
};

// Saves the settings into data_dir, and for an installed service into the
// service account's folder too; then sets or deletes the Run value. Does
// nothing in the service. A failed save is logged (under the error switch).
// Returns false when the settings in data_dir could not be saved.
bool save_settings_and_startup(chronobel_state& state, const startup_places& places = {});

// The Run value for a program at `program_path`: the path in double quotes,
// so that a path with blanks cannot be read as a shorter program's, and
// " /q" for "Auto Start, Sync, then Exit".
std::wstring run_value_text(const std::wstring& program_path, int on_windows_start);

}  // namespace orvane
