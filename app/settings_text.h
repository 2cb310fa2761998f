// The settings as "name = value" text, for the command line: every setting
// by the name the code gives it, changed within the limits the options
// pages keep.
#pragma once
#include <string>
#include <vector>
#include "core/state.h"

namespace orvane {

// One "name = value" line per setting, in a fixed order.
std::vector<std::string> settings_as_text(const chronobel_state& state);
// Applies "name=value". Returns an empty string, or what is wrong with it
// (the state is then unchanged).
std::string apply_setting_text(chronobel_state& state, const std::string& assignment);

}  // namespace orvane
