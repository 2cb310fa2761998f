// Looks at a service from outside, through the service manager, as an
// administrator's tool would:
//   service_probe config NAME          its configuration, one "name=value" a line
//   service_probe state NAME           its state (1 stopped .. 4 running), or "missing"
//   service_probe wait NAME STATE SEC  waits until it is in STATE (a number, or
//                                      "missing" once it is deleted)
//   service_probe start NAME           StartServiceW
//   service_probe stop NAME            ControlService stop; prints the state it reports
//   service_probe interrogate NAME     ControlService interrogate; prints the state
//   service_probe reload NAME          ControlService parameter change; prints the state
//   service_probe pid NAME             the process the service runs in (0: none)
//   service_probe gone PID SEC         waits until that process has ended
//   service_probe end PID IMAGE        ends that process if it runs the program IMAGE
//   service_probe cleanup NAME         stops and deletes the service, ending its
//                                      process by its id if it does not stop
// and, through the program's own calls, for its service "Chronobel":
//   service_probe install PROGRAM      install_service for the program at that path
//   service_probe remove               remove_service (stopping it first if it runs)
// and through the program's own side of the service's pipe:
//   service_probe ask correct|check N  N requests at once; one line per
//                                      answer: its kind letter, a tab, its text
//   service_probe send TEXT            TEXT's bytes as a request; prints the
//                                      answer's bytes (none for a refused one)
// Exit code 0 on success, 1 on failure, 2 on bad usage.
#include <windows.h>
#include <cstdio>
#include <cwchar>
#include <string>
#include <thread>
#include <vector>
#include "core/paths.h"
#include "platform/service_calls.h"
#include "platform/service_control.h"
#include "platform/pipe_io_win32.h"
#include "platform/service_ask_win32.h"

namespace {

std::string utf8(const wchar_t* text) {
    if (!text || !*text) return {};
    int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
    out.resize(static_cast<std::size_t>(size - 1));
    return out;
}

struct service_handle {
    SC_HANDLE handle = nullptr;
    explicit service_handle(SC_HANDLE h) : handle(h) {}
    ~service_handle() {
        if (handle) CloseServiceHandle(handle);
    }
    service_handle(const service_handle&) = delete;
    service_handle& operator=(const service_handle&) = delete;
};

struct opened {
    service_handle manager{OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS)};
    service_handle service;
    explicit opened(const wchar_t* name)
        : service(manager.handle ? OpenServiceW(manager.handle, name, SERVICE_ALL_ACCESS) : nullptr) {}
};

// The state, 0 when the service is not there.
DWORD state_of(const wchar_t* name, DWORD* process = nullptr) {
    opened s(name);
    if (!s.service.handle) return 0;
    SERVICE_STATUS_PROCESS status{};
    DWORD needed = 0;
    if (!QueryServiceStatusEx(s.service.handle, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                              sizeof status, &needed))
        return 0;
    if (process) *process = status.dwProcessId;
    return status.dwCurrentState;
}

int print_config(const wchar_t* name) {
    opened s(name);
    if (!s.service.handle) return 1;
    DWORD needed = 0;
    QueryServiceConfigW(s.service.handle, nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed + 16);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    if (!QueryServiceConfigW(s.service.handle, config, static_cast<DWORD>(buffer.size()), &needed)) return 1;
    std::printf("path=%s\n", utf8(config->lpBinaryPathName).c_str());
    std::printf("type=%lu\nstart=%lu\nerror=%lu\n", config->dwServiceType, config->dwStartType,
                config->dwErrorControl);
    std::printf("account=%s\n", utf8(config->lpServiceStartName).c_str());
    std::printf("display=%s\n", utf8(config->lpDisplayName).c_str());
    std::printf("group=%s\n", utf8(config->lpLoadOrderGroup).c_str());
    std::printf("dependencies=%s\n", utf8(config->lpDependencies).c_str());

    needed = 0;
    QueryServiceConfig2W(s.service.handle, SERVICE_CONFIG_DESCRIPTION, nullptr, 0, &needed);
    std::vector<BYTE> described(needed + 16);
    if (QueryServiceConfig2W(s.service.handle, SERVICE_CONFIG_DESCRIPTION, described.data(),
                             static_cast<DWORD>(described.size()), &needed))
        std::printf("description=%s\n",
                    utf8(reinterpret_cast<SERVICE_DESCRIPTIONW*>(described.data())->lpDescription).c_str());
    SERVICE_DELAYED_AUTO_START_INFO delayed{};
    if (QueryServiceConfig2W(s.service.handle, SERVICE_CONFIG_DELAYED_AUTO_START_INFO,
                             reinterpret_cast<BYTE*>(&delayed), sizeof delayed, &needed))
        std::printf("delayed=%d\n", delayed.fDelayedAutostart ? 1 : 0);
    else
        std::printf("delayed=unsupported\n");
    return 0;
}

int send_control(const wchar_t* name, DWORD control) {
    opened s(name);
    if (!s.service.handle) return 1;
    SERVICE_STATUS status{};
    const BOOL sent = ControlService(s.service.handle, control, &status);
    std::printf("%lu\n", status.dwCurrentState);
    return sent ? 0 : 1;
}

bool wait_for_state(const wchar_t* name, DWORD wanted, int seconds) {
    for (int i = 0; i <= seconds * 10; ++i) {
        if (state_of(name) == wanted) return true;
        Sleep(100);
    }
    return false;
}

bool wait_for_process(DWORD pid, int seconds) {
    if (pid == 0) return true;
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (!process) return true;  // no such process any more
    const bool ended = WaitForSingleObject(process, static_cast<DWORD>(seconds) * 1000) == WAIT_OBJECT_0;
    CloseHandle(process);
    return ended;
}

// Ends a process by its id, but only while it still runs `image` (an id
// may have been given to another process since).
int end_process(DWORD pid, const wchar_t* image) {
    HANDLE process = OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, pid);
    if (!process) return 0;
    wchar_t path[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    int result = 0;
    if (QueryFullProcessImageNameW(process, 0, path, &size) && _wcsicmp(path, image) == 0) {
        TerminateProcess(process, 1);
        result = WaitForSingleObject(process, 5000) == WAIT_OBJECT_0 ? 0 : 1;
    }
    CloseHandle(process);
    return result;
}

int cleanup(const wchar_t* name) {
    DWORD pid = 0;
    if (state_of(name, &pid) == 0) return 0;
    {
        opened s(name);
        SERVICE_STATUS status{};
        ControlService(s.service.handle, SERVICE_CONTROL_STOP, &status);
    }
    wait_for_state(name, SERVICE_STOPPED, 10);
    if (!wait_for_process(pid, 5)) {
        if (HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid)) {
            TerminateProcess(process, 1);
            WaitForSingleObject(process, 5000);
            CloseHandle(process);
        }
    }
    opened s(name);
    if (s.service.handle) DeleteService(s.service.handle);
    return 0;
}

int install_program(const wchar_t* program) {
    orvane::chronobel_state state;
    orvane::split_path(state.program_path, program);
    state.exe_name = state.program_path.file;
    return orvane::install_service(orvane::service_name, orvane::service_display_name,
                                   orvane::service_command_line(state), orvane::service_description);
}

int remove_program_service() {
    orvane::service_status_record status;
    std::uint8_t installed = 0, running = 0;
    if (orvane::query_service(orvane::service_name, status, installed, running) != 0 || !installed) return 1;
    bool deleted = false;
    return orvane::remove_service(orvane::service_name, running, &deleted) == 0 && deleted ? 0 : 1;
}

int ask_at_once(const wchar_t* operation, int count) {
    const orvane::asked_operation asked =
        std::wstring(operation) == L"check" ? orvane::asked_operation::check : orvane::asked_operation::correct;
    std::vector<orvane::pipe_answer> answers(static_cast<std::size_t>(count));
    std::vector<std::thread> askers;
    for (orvane::pipe_answer& answer : answers) askers.emplace_back([&answer, asked] { answer = orvane::ask_service(asked); });
    for (std::thread& asker : askers) asker.join();
    for (const orvane::pipe_answer& answer : answers)
        std::printf("%c\t%s\n", static_cast<char>(answer.kind), answer.text.c_str());
    return 0;
}

int send_raw(const wchar_t* text) {
    HANDLE pipe = CreateFileW(orvane::service_pipe_path, GENERIC_READ | FILE_WRITE_DATA, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (pipe == INVALID_HANDLE_VALUE) return 1;
    const std::string bytes = utf8(text);
    DWORD done = 0;
    WriteFile(pipe, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
    char answer[700];
    // The service disconnects a refused client without an answer.
    if (ReadFile(pipe, answer, sizeof answer, &done, nullptr)) std::fwrite(answer, 1, done, stdout);
    CloseHandle(pipe);
    return 0;
}

int usage() {
    std::fputs("usage: service_probe config|state|wait|start|stop|interrogate|pid|gone|end|cleanup|install ...\n"
               "       service_probe remove\n",
               stderr);
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 2 && std::wstring(argv[1]) == L"remove") return remove_program_service();
    if (argc < 3) return usage();
    if (std::wstring(argv[1]) == L"ask" && argc == 4) return ask_at_once(argv[2], _wtoi(argv[3]));
    if (std::wstring(argv[1]) == L"send") return send_raw(argv[2]);
    const std::wstring command = argv[1];
    const wchar_t* name = argv[2];
    if (command == L"config") return print_config(name);
    if (command == L"state") {
        const DWORD state = state_of(name);
        if (state == 0) std::printf("missing\n");
        else std::printf("%lu\n", state);
        return 0;
    }
    if (command == L"wait" && argc == 5) {
        const DWORD wanted = std::wstring(argv[3]) == L"missing" ? 0 : static_cast<DWORD>(_wtoi(argv[3]));
        return wait_for_state(name, wanted, _wtoi(argv[4])) ? 0 : 1;
    }
    if (command == L"start") {
        opened s(name);
        return s.service.handle && StartServiceW(s.service.handle, 0, nullptr) ? 0 : 1;
    }
    if (command == L"stop") return send_control(name, SERVICE_CONTROL_STOP);
    if (command == L"interrogate") return send_control(name, SERVICE_CONTROL_INTERROGATE);
    if (command == L"reload") return send_control(name, SERVICE_CONTROL_PARAMCHANGE);
    if (command == L"pid") {
        DWORD pid = 0;
        state_of(name, &pid);
        std::printf("%lu\n", pid);
        return 0;
    }
    if (command == L"gone" && argc == 4) return wait_for_process(static_cast<DWORD>(_wtoi(name)), _wtoi(argv[3])) ? 0 : 1;
    if (command == L"cleanup") return cleanup(name);
    if (command == L"end" && argc == 4) return end_process(static_cast<DWORD>(_wtoi(name)), argv[3]);
    if (command == L"install") return install_program(name);
    return usage();
}
