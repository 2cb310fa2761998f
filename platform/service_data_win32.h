// Where the service keeps its data: "Orvane\Chronobel" in the application-
// data folder of the account it runs under (or the common one when that
// account names none). The desktop program writes the service's copy of the
// settings and the server list there; the service reads nothing else.
#pragma once
#include <windows.h>
#include <string>
#include "core/state.h"

namespace orvane {

// Where the lookup reads; the defaults are the system's own. Tests point
// them elsewhere.
struct service_folder_places {
    HKEY service_folder_hive = HKEY_USERS;
    std::wstring service_folder_key = L".DEFAULT\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    std::wstring service_folder_value = L"AppData";
    HKEY common_folder_hive = HKEY_LOCAL_MACHINE;
    std::wstring common_folder_key = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    std::wstring common_folder_value = L"Common AppData";
};

// The system's own places.
const service_folder_places& default_service_folder_places();

// The service's folder, ending in a backslash; empty when neither value can
// be read.
std::wstring service_data_folder(const service_folder_places& places = default_service_folder_places());

// Makes (or tightens) the service's folder and its parent "Orvane" with the
// service folder's descriptor. Returns the folder, ending in a backslash, or
// empty when it is refused; `message` then says why, and otherwise whether
// an open folder was tightened (empty when nothing needed saying).
std::wstring secure_service_data_folder(std::string& message, const service_folder_places& places = default_service_folder_places());

// In the service: its data directory becomes its own folder, and data files
// are read from there alone. When the folder is refused, state.service_refusal
// says why and the service does not run. Returns what the log should say
// about the folder (that it was tightened), or nothing.
std::string use_service_data_folder(chronobel_state& state);

}  // namespace orvane
