// The native program: the same core without windows. Status texts go to
// standard output.
#include <cstdio>
#include <string>
#include <vector>
#include "core/main_view.h"
#include "app/program.h"
#include "core/settings_file.h"
#include "app/settings_text.h"
#include "core/state.h"
#include "engine/quick_sync.h"
#include "app/foreground_service.h"
#include "app/startup.h"
#include "platform/policy.h"
#include "platform/privilege.h"
#include "sys/files.h"

using namespace orvane;

namespace {

int usage() {
    std::fputs("usage: chronobel [/n] [/q [HOST] | /c [HOST] | /x | /o [name=value ...]]\n"
               "  /n  dry run: never set the clock, print what would be set\n"
               "  /q  quick sync: set the clock from the current server or HOST, then exit\n"
               "  /c  quick check: print the difference from the current server or HOST\n"
               "  /x  run the service in the foreground (the default)\n"
               "  /o  print the settings, or change them with name=value\n",
               stderr);
    return 2;
}

// The server named after /q or /c: the next argument, unless it is a switch.
std::string named_host(int argc, char** argv, int i) {
    if (i + 1 >= argc || argv[i + 1][0] == '/' || argv[i + 1][0] == '-') return {};
    return argv[i + 1];
}

// The native program's window: the status line, printed as it changes.
class console_view final : public main_view {
public:
    void set_text(int control, std::string_view text) override {
        if (control != control_status_line) return;
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
    void enable(int, bool) override {}
    void set_tooltip(int, std::string_view) override {}
    void set_title(std::string_view) override {}
    void post_command(int) override {}
};

// The exit code of /o when the settings could not be saved.
constexpr int settings_not_saved = 1;

// /o: prints the settings, or applies every name=value and saves them. One
// bad assignment changes nothing at all; a save that fails leaves the old
// file as it was and says so.
int settings_command(chronobel_state& state, int count, char** assignments) {
    if (count == 0) {
        for (const std::string& line : settings_as_text(state)) std::printf("%s\n", line.c_str());
        return 0;
    }
    for (int i = 0; i < count; ++i) {
        if (std::string error = apply_setting_text(state, assignments[i]); !error.empty()) {
            std::fprintf(stderr, "chronobel: %s; nothing was changed\n", error.c_str());
            return 2;
        }
    }
    if (!save_settings(state, state.data_dir())) {
        std::fprintf(stderr, "chronobel: the settings could not be saved in %s; nothing was changed\n",
                     narrow(state.data_dir()).c_str());
        return settings_not_saved;
    }
    return 0;
}

int run_switches(chronobel_state& state, int argc, char** argv) {
    time_privilege_held = enable_privilege(L"SeSystemtimePrivilege", true) == privilege_enabled ? 1 : 0;
    init_identity(state, L"chronobel");
    load_data_files(state);
    apply_machine_policy(state);

    for (int i = 1; i < argc; ++i) {
        switch (switch_letter(widen(argv[i]))) {
            case L'n': state.dry_run = true; break;
            case L's': note_silent_start(state); break;
            case L'q': return run_quick_sync(state, true, named_host(argc, argv, i));
            case L'c': return run_quick_sync(state, false, named_host(argc, argv, i));
            case L'o': return settings_command(state, argc - i - 1, argv + i + 1);
            case L'x': return run_foreground_service(state);
            case L'z': return 0;  // no service to remove on this system
            default: return usage();  // --help, /?, and whatever it does not know
        }
    }
    return run_foreground_service(state);
}

}  // namespace

int main(int argc, char** argv) {
    create_state();
    chronobel_state& state = *g_state;
    // Never destroyed: the view outlives every thread that writes to it.
    static console_view& console = *new console_view;
    state.set_view(&console);
    const int code = run_switches(state, argc, argv);
    // Every thread is joined before the globals go.
    end_program_threads(state);
    return code;
}
