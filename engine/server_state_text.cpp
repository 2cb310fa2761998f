#include "engine/server_state_text.h"

namespace orvane {

const char* server_state_text(const chronobel_state& state) {
    switch (state.server_state.load()) {
        case 1: return state.ui_text(text_id::time_server_active);
        case 2: return state.ui_text(text_id::sntp_server_active);
        default: return state.ui_text(text_id::time_and_sntp_server_active);
    }
}

}  // namespace orvane
