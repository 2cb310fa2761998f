#include <windows.h>
#include "platform/event_log.h"
#include "sys/files.h"

namespace orvane {

void report_event(event_kind kind, const std::string& text) {
    HANDLE source = RegisterEventSourceW(nullptr, L"Chronobel");
    if (!source) return;
    const WORD type = kind == event_kind::error     ? EVENTLOG_ERROR_TYPE
                      : kind == event_kind::warning ? EVENTLOG_WARNING_TYPE
                                                    : EVENTLOG_INFORMATION_TYPE;
    const std::wstring wide = widen(text);
    const wchar_t* strings[] = {wide.c_str()};
    ReportEventW(source, type, 0, 0, nullptr, 1, 0, strings, nullptr);
    DeregisterEventSource(source);
}

}  // namespace orvane
