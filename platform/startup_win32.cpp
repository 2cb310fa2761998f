#include "platform/startup_win32.h"
#include "core/paths.h"
#include "core/settings_file.h"
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

// The folder of the service's own data directory, from the registry; empty
// when it cannot be found.
std::wstring service_folder(const startup_places& places) {
    std::wstring folder;
    int r = read_registry_string(places.service_folder_hive, places.service_folder_key, places.service_folder_value,
                                 folder);
    if (r == registry_value_missing)
        r = read_registry_string(places.common_folder_hive, places.common_folder_key, places.common_folder_value,
                                 folder);
    return r == registry_done ? folder : std::wstring();
}

void save_service_copy(chronobel_state& state, const startup_places& places) {
    service_status_record status;
    std::uint8_t installed = 0, running = 0;
    query_service(places.service_name, status, installed, running);
    if (!installed) return;
    std::wstring folder = service_folder(places);
    if (folder.empty()) return;
    folder += L"\\Orvane";
    create_directory(folder);
    folder += L"\\Chronobel";
    create_directory(folder);
    bool saved = false;
    save_logged(state, folder + L"\\", saved);
}

void register_start(const chronobel_state& state, const startup_places& places) {
    if (state.settings.on_windows_start == 0) {
        delete_registry_value(places.run_hive, places.run_key, state.exe_name);
        return;
    }
    wchar_t path[600] = {};
    const DWORD length = SearchPathW(nullptr, state.exe_name.c_str(), nullptr, 600, path, nullptr);
    if (length == 0 || length >= 600) return;
    write_registry_string(places.run_hive, places.run_key, state.exe_name,
                          run_value_text(std::wstring(path, length), state.settings.on_windows_start));
}

}  // namespace

std::wstring run_value_text(const std::wstring& program_path, int on_windows_start) {
    std::wstring text = L"\"" + program_path + L"\"";
    if (on_windows_start == 2) text += L" /q";
    return text;
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
