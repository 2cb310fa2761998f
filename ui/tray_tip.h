// The tooltip of the tray icon.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include "core/state.h"

namespace orvane {

// The tip field of the tray icon holds 128 characters with the terminating
// zero.
constexpr std::size_t tray_tip_limit = 127;

// While the status line's text is held (an outcome still to be read,
// core/status_hold.h), that text, `status_line`; else the countdown to the
// next automatic operation while one is armed, else "Chronobel". Once the
// worker has started, a line says when the clock was last set or checked
// ("Last synced 3 h ago"). While a built-in server runs, a last line names it. Cut to tray_tip_limit
// characters.
std::string tray_tip_text(chronobel_state& state, std::uint64_t now, std::string_view status_line = {});

}  // namespace orvane
