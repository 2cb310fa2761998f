// The program's own service "Chronobel" as the System page's two buttons
// drive it. Every call reports nothing: a second later the status query
// decides what the buttons show.
#pragma once
#include "core/state.h"
#include "ui/options_pages.h"

namespace orvane {

service_status query_own_service();
void start_own_service();
void stop_own_service();
// Installs the service (name "Chronobel", its display name and description,
// the program's path in double quotes and "/x" as its command line); false,
// with the reason in `refusal`, when this program may not be the service.
bool install_chronobel_service(const chronobel_state& state, std::string& refusal);
// Removes it, stopped first when it runs.
void remove_chronobel_service(bool running);

}  // namespace orvane
