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
// cannot be opened (no administrative rights), 1 for any other failure.
enum own_service_result : int { own_service_done = 0, own_service_failed = 1, own_service_no_manager = 11 };

// The service's command line: the program's full path in double quotes (so
// that blanks in it do no harm), a space and "/x".
std::wstring service_command_line(const chronobel_state& state);

// /i: installs the service and starts it; done once it runs.
int install_own_service(const chronobel_state& state);
// /z: removes the service when it is installed (stopping it first); done
// when it is gone or was never there.
int remove_own_service();

}  // namespace orvane
