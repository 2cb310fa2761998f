// The native program: the same core without windows. Status texts go to
// standard output.
#include <cstdio>
#include <string>
#include <vector>
#include "core/program.h"
#include "core/state.h"
#include "platform/privilege.h"
#include "sys/files.h"

using namespace orvane;

namespace {

int usage() {
    std::fputs("usage: chronobel [/n] [/q | /c | /x | /o [name=value ...]]\n"
               "  /n  dry run: never set the clock, print what would be set\n"
               "  /q  quick sync: set the clock from the current server, then exit\n"
               "  /c  quick check: print the difference from the current server\n"
               "  /x  run the service in the foreground (the default)\n"
               "  /o  print the settings, or change them with name=value\n",
               stderr);
    return 2;
}

int not_ready(const char* what) {
    std::fprintf(stderr, "chronobel: %s is not part of this build\n", what);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    create_state();
    chronobel_state& state = *g_state;
    time_privilege_held = enable_privilege(L"SeSystemtimePrivilege", true) == privilege_enabled ? 1 : 0;
    init_identity(state, L"chronobel");
    load_data_files(state);

    for (int i = 1; i < argc; ++i) {
        switch (switch_letter(widen(argv[i]))) {
            case L'n': state.dry_run = true; break;
            case L's': note_silent_start(state); break;
            case L'q': return not_ready("/q");
            case L'c': return not_ready("/c");
            case L'o': return not_ready("/o");
            case L'x': return not_ready("/x");
            case L'z': return 0;  // no service to remove on this system
            case L'h': case L'?': return usage();
            default: break;
        }
    }
    return not_ready("the service runtime");
}
