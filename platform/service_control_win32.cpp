#include "platform/service_control_win32.h"

namespace orvane {

// Service control is not part of this build yet: nothing is installed that
// could be removed.
void remove_own_service() {}

}  // namespace orvane
