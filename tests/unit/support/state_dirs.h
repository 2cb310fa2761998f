// A state whose program and data directories are two fresh temporary directories.
#pragma once
#include "core/paths.h"
#include "core/state.h"
#include "support/temp_dir.h"

namespace orvane::testing {

struct state_in_temp_dirs {
    temp_dir program, data;
    chronobel_state state;

    state_in_temp_dirs() {
        split_path(state.program_path, program.dir() + L"chronobel");
        split_path(state.data_path, data.dir());
    }
};

}  // namespace orvane::testing
