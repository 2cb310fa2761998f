// Where the service finds its settings. The desktop program, run with
// administrative rights, writes a copy of its settings for the service into
// the default account's application-data folder (or the common one when that
// account names none), under "Orvane\Chronobel"; the service reads them there.
#pragma once
#include <string>
#include "core/state.h"

namespace orvane {

// That folder, ending in a backslash; empty when neither registry value can
// be read or the value does not fit 300 characters (no copy is kept then).
std::wstring service_settings_folder(const chronobel_state& state);

// In the service: when "DefSet.txt" moved the data out of the program's
// folder, the service's data directory becomes the folder of its settings
// copy (created when missing). True when the data directory changed, so the
// data files are to be read again. Without "DefSet.txt" the desktop program
// and the service share the program's folder and nothing changes.
bool use_service_settings_folder(chronobel_state& state);

}  // namespace orvane
