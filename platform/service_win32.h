// The Windows service "Chronobel": the dispatcher, the service main the
// service control manager calls, and its control handler.
#pragma once
#include "platform/service_control.h"
#include "platform/service_runtime.h"

namespace orvane {

// Hands the calling thread to the service control dispatcher with the one
// service "Chronobel", whose main starts its work with `start`. Returns when
// the service has stopped, or at once (with an error) when the program was
// not started by the service control manager.
void run_service_dispatcher(service_worker_starter start);

}  // namespace orvane
