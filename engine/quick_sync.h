// The quick sync of the command line: one correction (or check) without the
// worker or a window, trying the servers of the list until one answers.
#pragma once
#include <string>
#include "core/state.h"

namespace orvane {

// Runs the operation on this thread and returns the process's exit code:
// 0 when the clock was set (or, for a check, a result was shown), 1 otherwise.
// Texts go to the state's view. A non-empty `host` is asked instead of the
// configured server (looked up as a list entry is, and not kept).
int run_quick_sync(chronobel_state& state, bool correct = true, const std::string& host = {});

}  // namespace orvane
