#include <windows.h>
#include "event_messages.h"
#include "platform/event_log.h"
#include "sys/files.h"

namespace orvane {
namespace {

// The message table compiled from resources/event_messages.mc must number
// its messages as the program does.
static_assert(MSG_SERVICE_STARTED == static_cast<DWORD>(event_message::service_started));
static_assert(MSG_SERVICE_STOPPED == static_cast<DWORD>(event_message::service_stopped));
static_assert(MSG_AUTO_FAILED == static_cast<DWORD>(event_message::auto_failed));
static_assert(MSG_CLOCK_CORRECTED == static_cast<DWORD>(event_message::clock_corrected));
static_assert(MSG_AUTO_FAILED_THREE_TIMES == static_cast<DWORD>(event_message::auto_failed_three_times));
static_assert(MSG_AUTO_WORKS_AGAIN == static_cast<DWORD>(event_message::auto_works_again));
static_assert(MSG_AUTOCHECK_FOUND_OFFSET == static_cast<DWORD>(event_message::autocheck_found_offset));
static_assert(MSG_SERVICE_FOLDER_REFUSED == static_cast<DWORD>(event_message::service_folder_refused));
static_assert(MSG_SERVICE_NOTICE == static_cast<DWORD>(event_message::service_notice));

WORD event_type(event_kind kind) {
    switch (kind) {
        case event_kind::error: return EVENTLOG_ERROR_TYPE;
        case event_kind::warning: return EVENTLOG_WARNING_TYPE;
        default: return EVENTLOG_INFORMATION_TYPE;
    }
}

}  // namespace

void write_system_event(const event_record& entry) {
    HANDLE source = RegisterEventSourceW(nullptr, event_source_name);
    if (!source) return;
    std::vector<std::wstring> wide;
    for (const std::string& text : entry.strings) wide.push_back(widen(text));
    std::vector<const wchar_t*> strings;
    for (const std::wstring& text : wide) strings.push_back(text.c_str());
    ReportEventW(source, event_type(entry.kind), 0, static_cast<DWORD>(entry.id), nullptr,
                 static_cast<WORD>(strings.size()), 0, strings.empty() ? nullptr : strings.data(), nullptr);
    DeregisterEventSource(source);
}

}  // namespace orvane
