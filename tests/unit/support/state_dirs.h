// A state whose program and data directories are two fresh temporary directories.
#pragma once
#include <memory>
#include "core/paths.h"
#include "core/state.h"
#include "support/temp_dir.h"

namespace orvane::testing {

struct state_in_temp_dirs {
    temp_dir program, data;
    // Held as the program holds it, so that threads can take owners of it.
    std::shared_ptr<chronobel_state> owner = std::make_shared<chronobel_state>();
    chronobel_state& state = *owner;

    state_in_temp_dirs() {
        split_path(state.program_path, program.dir() + L"chronobel");
        split_path(state.data_path, data.dir());
    }
};

}  // namespace orvane::testing
