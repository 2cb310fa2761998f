#include "data/data_files.h"
#include "core/settings_file.h"
#include "data/server_list.h"
#include "data/ui_strings.h"

namespace orvane {

void load_data_files(chronobel_state& state) {
    load_ui_strings(state, ui_string_count, ui_strings_file_name);
    write_default_server_list(state);
    load_settings(state);
}

}  // namespace orvane
