// The program's own service: its name and properties, and the switches /i
// and /z that install and remove it without a window.
#pragma once
#include <string>
#include "core/state.h"

namespace orvane {

inline constexpr wchar_t service_name[] = L"Chronobel";
inline constexpr wchar_t service_display_name[] = L"Chronobel Internet Time Synchronisation";
inline constexpr wchar_t service_description[] = L"Corrects time and provides a TIME server";

// Exit codes of the switches: 0 when done, 11 when the service manager
// cannot be opened (no administrative rights), 12 when users without
// administrative rights can change the program or its folder (the service
// would run what they put there), 13 when a service of that name already
// runs another program, 1 for any other failure.
enum own_service_result : int {
    own_service_done = 0,
    own_service_failed = 1,
    own_service_no_manager = 11,
    own_service_unsafe_folder = 12,
    own_service_taken = 13,
};

// The service's command line: the program's full path in double quotes (so
// that blanks in it do no harm), a space and "/x".
std::wstring service_command_line(const chronobel_state& state);

// Whether this program may be registered as the service: 0, or the code of
// the refusal (no path, a folder standard users can change, the name taken
// by another program), `message` explaining it.
int may_install_own_service(const chronobel_state& state, std::string* message = nullptr);
// /i: installs the service, registers the event log source (the program
// is its message file) and starts the service; done once it runs. A service of
// that name already registered for this program is started; one registered
// for another is left alone. `message`, when given, receives the text that
// explains a refusal.
int install_own_service(const chronobel_state& state, std::string* message = nullptr);
// /z: removes the service when it is installed (stopping it first) and the
// event log source; done when both are gone or were never there.
int remove_own_service();

}  // namespace orvane
