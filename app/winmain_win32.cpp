// The Windows program: start-up, the command-line switches, the window
// classes, the main window and the message loop.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <cwchar>
#include <iterator>
#include "app/program.h"
#include "app/startup.h"
#include "core/state.h"
#include "engine/quick_sync.h"
#include "platform/policy.h"
#include "platform/privilege.h"
#include "platform/service_control.h"
#include "engine/log.h"
#include "platform/event_log.h"
#include "platform/service_data_win32.h"
#include "platform/service_ask_win32.h"
#include "platform/service_pipe_win32.h"
#include "platform/service_win32.h"
#include "platform/startup_win32.h"
#include "sys/files.h"
#include "resources/resource_ids.h"
#include "sys/win32/owned_handle.h"
#include "ui/main_window_win32.h"
#include "ui/scan_window_win32.h"

using namespace orvane;

namespace {

// init_program's result when the main window cannot be created; also the
// program's exit code then.
constexpr int main_window_missing = 13;

HICON load_program_icon(HINSTANCE instance, int size) {
    return static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(IDI_CHRONOBEL), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
}

void init_instance(chronobel_state& state, HINSTANCE instance) {
    state.h_instance = instance;
    init_identity(state, L"Chronobel.exe");
    // Date pickers and IP-address fields of the options sheet.
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_DATE_CLASSES | ICC_INTERNET_CLASSES};
    static_assert((ICC_DATE_CLASSES | ICC_INTERNET_CLASSES) == 0x900);
    InitCommonControlsEx(&controls);
    state.small_icon = load_program_icon(instance, 16);
    state.large_icon = load_program_icon(instance, 32);
}

// The service reads the settings copy that the desktop program keeps for it
// in the service's own folder, then hands this thread to the service
// manager. A folder that others may change is refused: the service then
// reports why and does not run.
void run_as_service(chronobel_state& state) {
    const std::string notice = use_service_data_folder(state);
    if (!state.service_refusal.empty()) {
        report_event(event_message::service_folder_refused, {state.service_refusal});
    } else {
        load_data_files(state);
        apply_machine_policy(state);
        if (!notice.empty()) {
            write_log_line(state, notice, "");
            report_event(event_message::service_notice, {notice});
        }
    }
    // The pipe through which desktop programs without the right to set the
    // clock ask for a correction runs beside the worker.
    run_service_dispatcher([](chronobel_state& s) {
        const int started = start_worker(s);
        if (started == worker_started && !start_service_pipe(s))
            write_log_line(s, "The service's pipe could not be started", "");
        return started;
    });
    // The worker has stopped the servers; every thread ends before the process.
    end_program_threads(state);
}

// A switch's refusal, for whoever started the program: its standard error
// when it has one (redirected, or under a console host), else the console of
// the command prompt it was started from.
void tell_caller(const std::string& text) {
    HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    if ((!error || error == INVALID_HANDLE_VALUE) && AttachConsole(ATTACH_PARENT_PROCESS))
        error = GetStdHandle(STD_ERROR_HANDLE);
    if (!error || error == INVALID_HANDLE_VALUE) return;
    const std::string line = text + "\r\n";
    DWORD written = 0;
    WriteFile(error, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

int install_from_switch(chronobel_state& state) {
    std::string message;
    const int result = install_own_service(state, &message);
    if (!message.empty()) {
        tell_caller(message);
        if (!state.settings.log_disabled) write_log_line(state, message, "");
    }
    return result;
}

// /q: a standard user's program (at log-on, say) has the running service
// correct the clock; otherwise the program does it itself.
int quick_sync(chronobel_state& state) {
    if (time_privilege_held || !service_takes_requests()) return run_quick_sync(state);
    return ask_service(asked_operation::correct).kind == pipe_answer_succeeded ? 0 : 1;
}

// Handles the switches left to right; the quick sync, the service, and the
// service's installation and removal end the process when their work is done.
void handle_switches(chronobel_state& state, const wchar_t* command_line) {
    int count = 0;
    const owned_argv arguments(CommandLineToArgvW(command_line, &count));
    if (!arguments) return;
    for (int i = 0; i < count; ++i) {
        switch (switch_letter(arguments.get()[i])) {
            case L's':
                note_silent_start(state);
                break;
            case L'q':
                // 0 only when the clock was set, so callers can tell.
                ExitProcess(static_cast<UINT>(quick_sync(state)));
            case L'x':
                run_as_service(state);
                ExitProcess(0);
            case L'i':
                ExitProcess(static_cast<UINT>(install_from_switch(state)));
            case L'z':
                ExitProcess(static_cast<UINT>(remove_own_service()));
            default:
                break;
        }
    }
}

void register_class(const WNDCLASSEXW& prototype, const wchar_t* name) {
    WNDCLASSEXW window_class = prototype;
    wcsncpy(class_name_buffer, name, std::size(class_name_buffer) - 1);
    class_name_buffer[std::size(class_name_buffer) - 1] = L'\0';
    window_class.lpszClassName = class_name_buffer;
    RegisterClassExW(&window_class);
}

void register_window_classes(const chronobel_state& state) {
    static_assert(sizeof(WNDCLASSEXW) == 48);
    WNDCLASSEXW main_class{};
    main_class.cbSize = sizeof main_class;
    main_class.style = CS_HREDRAW | CS_VREDRAW;
    main_class.lpfnWndProc = main_wnd_proc;
    main_class.cbWndExtra = DLGWINDOWEXTRA;  // dialog 1700 is a window of this class
    main_class.hInstance = static_cast<HINSTANCE>(state.h_instance);
    main_class.hIcon = static_cast<HICON>(state.large_icon);
    main_class.hIconSm = static_cast<HICON>(state.large_icon);
    main_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    main_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    register_class(main_class, L"Chronobel");

    WNDCLASSEXW scan_class = main_class;
    // The scan window can be closed: closing it ends its scan.
    scan_class.style = CS_HREDRAW | CS_VREDRAW;
    scan_class.lpfnWndProc = scan_wnd_proc;
    scan_class.cbWndExtra = 0;
    scan_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    register_class(scan_class, L"ChronobelScan");
}

int init_program(HINSTANCE instance, const wchar_t* command_line) {
    create_state();
    chronobel_state& state = *g_state;
    time_privilege_held = enable_privilege(L"SeSystemtimePrivilege", true) == privilege_enabled ? 1 : 0;
    init_instance(state, instance);
    const bool first_start = !file_exists(state.data_dir() + L"dSync.dat");
    load_data_files(state);
    apply_machine_policy(state);
    // A start at log-on that the installer registered is the user's choice:
    // the first start keeps it instead of deleting it at the first save.
    if (first_start) adopt_start_registration(state);
    handle_switches(state, command_line);
    set_worker_starter([](chronobel_state& s) { start_worker(s); });
    register_window_classes(state);
    HWND window = CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_MAIN_WINDOW), nullptr, nullptr, 0);
    if (!window) return main_window_missing;
    attach_main_window(state, window);
    ShowWindow(window, state.settings.start_minimised ? SW_MINIMIZE : SW_SHOWNORMAL);
    return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR command_line, int) {
    if (int result = init_program(instance, command_line)) return result;
    HWND window = static_cast<HWND>(g_state->main_window);
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (handle_main_window_key(window, message) || IsDialogMessageW(window, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    end_program_threads(*g_state);
    return static_cast<int>(message.wParam);
}
