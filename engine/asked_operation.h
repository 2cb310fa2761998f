// The correction or check asked of the service over its pipe: the pipe
// thread asks and waits; the service's worker starts the operation between
// its passes and notes its end and its text.
#pragma once
#include <string_view>
#include "core/state.h"

namespace orvane {

// Any thread: asks for `operation` and wakes the worker. False when one is
// asked already and not yet started.
bool ask_operation(chronobel_state& state, asked_operation operation);
// The service worker's idle pass: starts the asked operation, if any. An
// operation that cannot start ends at once, failed.
void start_asked_operation(chronobel_state& state);
// end_operation: when the ending operation is the asked one, counts its end.
void note_asked_operation_end(chronobel_state& state, bool succeeded);
// The service keeps the status-line text of each result, which it shows
// nowhere, for the one who asked.
void keep_result_text(chronobel_state& state, std::string_view text);
std::string kept_result_text(chronobel_state& state);

}  // namespace orvane
