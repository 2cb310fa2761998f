// The options property sheet: four pages that edit the live settings.
#pragma once
#include <windows.h>
#include "core/state.h"

namespace orvane {

// Runs the sheet modally, owned by `owner`, and returns when it is closed
// (the settings then saved). Does nothing while a sheet is open already.
void open_options_sheet(chronobel_state& state, HWND owner);

}  // namespace orvane
