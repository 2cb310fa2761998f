// The Windows service "Chronobel": the entry the service control manager calls.
#pragma once
#include <windows.h>

namespace orvane {

// The name under which the program runs as a service.
inline constexpr wchar_t service_name[] = L"Chronobel";

// The service main, handed to StartServiceCtrlDispatcherW.
void WINAPI service_main(DWORD argc, LPWSTR* argv);

}  // namespace orvane
