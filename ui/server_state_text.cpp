#include "ui/server_state_text.h"

namespace orvane {

const char* server_state_text(const chronobel_state& state) {
    switch (state.server_state.load()) {
        case 1: return state.ui_text(112);
        case 2: return state.ui_text(113);
        default: return state.ui_text(102);
    }
}

}  // namespace orvane
