#include "platform/service_win32.h"

namespace orvane {

// The service runtime is not part of this build yet: the dispatcher gets a
// main that ends at once.
void WINAPI service_main(DWORD, LPWSTR*) {}

}  // namespace orvane
