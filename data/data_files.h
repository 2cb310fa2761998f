// The data files read at start, and again when the service is told its
// settings changed.
#pragma once
#include "core/state.h"

namespace orvane {

// The UI string table, the default server list (written when missing), the settings.
void load_data_files(chronobel_state& state);

}  // namespace orvane
