// Installing and removing the program's own service.
#pragma once

namespace orvane {

// Removes the service "Chronobel" when it is installed; silent otherwise.
void remove_own_service();

}  // namespace orvane
