// Runs the start-up step that finds the program and data directories, as the
// program does when its file is named "Chronobel.exe", and writes what it
// found to the file named by its argument: program_dir, then data_dir, one
// a line, UTF-8.
#include <cstdio>
#include "app/program.h"
#include "core/state.h"
#include "sys/files.h"

using namespace orvane;

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return 2;
    chronobel_state state;
    init_identity(state, L"Chronobel.exe");
    FILE* out = _wfopen(argv[1], L"wb");
    if (!out) return 3;
    std::fprintf(out, "%s\n%s\n", narrow(state.program_dir()).c_str(), narrow(state.data_dir()).c_str());
    std::fclose(out);
    return 0;
}
