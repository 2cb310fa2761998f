#include "platform/startup_win32.h"
#include "core/paths.h"
#include "core/settings_file.h"
#include "data/server_list.h"
#include "engine/log.h"
#include "platform/registry_win32.h"
#include "platform/service_calls.h"
#include "sys/files.h"

namespace orvane {
namespace {

void save_logged(chronobel_state& state, const std::wstring& directory, bool& saved) {
    saved = save_settings(state, directory);
    const settings_record& s = state.settings;
    if (!saved && s.log_errors && !s.log_disabled)
        write_log_line(state, "Settings could not be saved in ", narrow(directory));
}

// Said once per run: a save without administrative rights reaches only the
// user's own settings.
bool service_copy_note_shown = false;

constexpr char service_keeps_settings[] =
    "The service keeps its settings until they are saved as administrator";

void save_service_copy(chronobel_state& state, const startup_places& places) {
    service_status_record status;
    std::uint8_t installed = 0, running = 0;
    query_service(places.service_name, status, installed, running);
    if (!installed) return;
    std::string message;
    const std::wstring folder = secure_service_data_folder(message, places.folders);
    const settings_record& s = state.settings;
    const bool logging = !s.log_disabled;
    if (!folder.empty() && !message.empty() && logging) write_log_line(state, message, "");
    const bool saved = !folder.empty() && save_settings(state, folder) &&
                       copy_file_replacing(locate_data_file(state, server_list_file_name), folder + server_list_file_name);
    if (saved) {
        if (running) ask_service_to_reload(places.service_name);
        return;
    }
    if (service_copy_note_shown) return;
    service_copy_note_shown = true;
    state.view().set_text(control_status_line, service_keeps_settings);
    if (logging) write_log_line(state, service_keeps_settings, "");
}

void register_start(const chronobel_state& state, const startup_places& places) {
    if (state.settings.on_windows_start == 0) {
        delete_registry_value(places.run_hive, places.run_key, state.exe_name);
        return;
    }
    if (state.program_path.full.empty()) return;
    write_registry_string(places.run_hive, places.run_key, state.exe_name,
                          run_value_text(state.program_path.full, state.settings.on_windows_start));
}

}  // namespace

const startup_places& default_startup_places() {
    static const startup_places places;
    return places;
}

std::wstring run_value_text(const std::wstring& program_path, int on_windows_start) {
    std::wstring text = L"\"" + program_path + L"\"";
    if (on_windows_start == 2) text += L" /q";
    return text;
}

void adopt_start_registration(chronobel_state& state, const startup_places& places) {
    std::wstring value;
    if (read_registry_string(places.run_hive, places.run_key, state.exe_name, value) != registry_done) return;
    if (state.program_path.full.empty() ||
        lower_case_path(value).find(lower_case_path(state.program_path.full)) == std::wstring::npos)
        return;
    const std::wstring quick = L" /q";
    const bool sync_then_exit = value.size() >= quick.size() && value.compare(value.size() - quick.size(), quick.size(), quick) == 0;
    state.settings.on_windows_start = sync_then_exit ? 2 : 1;
}

bool save_settings_and_startup(chronobel_state& state, const startup_places& places) {
    if (running_as_service) return true;
    bool saved = false;
    save_logged(state, state.data_dir(), saved);
    save_service_copy(state, places);
    register_start(state, places);
    return saved;
}

}  // namespace orvane
