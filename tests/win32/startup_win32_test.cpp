// Saving the settings with the start at log-on, against this process's own
// Wine registry (in keys of the test's own) and a service made for the test;
// the service's folder as the saving makes it, tightens it or refuses it.
// The Run value for each choice, with blanks in the program's path, and the
// interrupted save byte for byte are e2e.window_tray_win32's.
#include <gtest/gtest.h>
#include <windows.h>
#include <sddl.h>
#include <string>
#include "core/paths.h"
#include "core/settings_file.h"
#include "core/state.h"
#include "platform/elevation_win32.h"
#include "platform/registry_win32.h"
#include "platform/service_calls.h"
#include "platform/service_control.h"
#include "platform/service_data.h"
#include "platform/startup_win32.h"
#include "sys/files.h"
#include "sys/win32/owned_handle.h"
#include "support/win32_temp_dir.h"

using namespace orvane;
using orvane::testing::own_directory;
using orvane::testing::win32_temp_dir;

namespace {

// Gives `path` the access list of `descriptor` (Wine keeps what its file
// modes can say: Everyone's rights become the others' bits).
void set_access(const std::wstring& path, const wchar_t* descriptor) {
    PSECURITY_DESCRIPTOR raw = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(descriptor, SDDL_REVISION_1, &raw, nullptr));
    EXPECT_TRUE(SetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, raw));
    LocalFree(raw);
}

constexpr wchar_t open_to_everyone[] = L"D:(A;OICI;FA;;;WD)";

std::wstring own_file_name() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring full(path);
    return full.substr(full.rfind(L'\\') + 1);
}

class SettingsSaving : public ::testing::Test {
protected:
    void SetUp() override {
        split_path(state.data_path, data.dir());
        split_path(state.program_path, own_directory() + own_file_name());
        state.exe_name = own_file_name();
        apply_default_settings(state);
        const std::wstring base = L"Software\\ChronobelTest\\" + std::to_wstring(GetCurrentProcessId());
        places.run_hive = HKEY_CURRENT_USER;
        places.run_key = base + L"\\Run";
        places.folders.service_folder_hive = places.folders.common_folder_hive = HKEY_CURRENT_USER;
        places.folders.service_folder_key = places.folders.common_folder_key = base + L"\\Folders";
        places.service_name = L"ChronobelSaveTest" + std::to_wstring(GetCurrentProcessId());
        running_as_service = 0;
    }
    void TearDown() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, (L"Software\\ChronobelTest\\" + std::to_wstring(GetCurrentProcessId())).c_str());
    }
    win32_temp_dir data, service_home;
    chronobel_state state;
    startup_places places;
};

}  // namespace

TEST_F(SettingsSaving, ReadingAStringOpensForReadingAndCreatesNothing) {
    std::wstring text = L"old";
    const std::wstring key = places.folders.service_folder_key;
    EXPECT_EQ(read_registry_string(HKEY_CURRENT_USER, key, L"AppData", text), registry_value_missing);
    EXPECT_EQ(text, L"");
    owned_key probe;
    EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, probe.out()), ERROR_SUCCESS);
    ASSERT_EQ(write_registry_string(HKEY_CURRENT_USER, key, L"Common AppData", L"C:\\Data"), registry_done);
    EXPECT_EQ(read_registry_string(HKEY_CURRENT_USER, key, L"AppData", text), registry_value_missing);
    EXPECT_EQ(read_registry_string(HKEY_CURRENT_USER, key, L"Common AppData", text), registry_done);
    EXPECT_EQ(text, L"C:\\Data");
    // Too long for the buffer: not read in part.
    write_registry_string(HKEY_CURRENT_USER, key, L"AppData", std::wstring(700, L'a'));
    EXPECT_EQ(read_registry_string(HKEY_CURRENT_USER, key, L"AppData", text), registry_failed);
    EXPECT_EQ(text, L"");
}

TEST_F(SettingsSaving, AnInstalledServiceGetsItsOwnCopyAndAFailedSaveKeepsTheOldFile) {
    write_registry_string(HKEY_CURRENT_USER, places.folders.common_folder_key, L"Common AppData",
                          service_home.dir().substr(0, service_home.dir().size() - 1));
    const std::wstring copy = L"Orvane\\Chronobel\\dSync.dat";
    // No Run value to take away is no error.
    EXPECT_TRUE(save_settings_and_startup(state, places));
    EXPECT_EQ(service_home.read(copy), "") << "no service, no copy";

    // A service of this Wine prefix, made for the test and never started.
    owned_service manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    ASSERT_TRUE(manager);
    owned_service service(CreateServiceW(manager.get(), places.service_name.c_str(), places.service_name.c_str(),
                                         SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                                         SERVICE_ERROR_IGNORE, L"C:\\nowhere\\none.exe", nullptr, nullptr, nullptr,
                                         nullptr, nullptr));
    ASSERT_TRUE(service);
    state.settings.sync_timeout_s = 33;
    data.write(L"ServFile.txt", "#mine\r\n127.0.0.7");
    save_settings_and_startup(state, places);
    EXPECT_EQ(service_home.read(copy), data.read(L"dSync.dat"));
    EXPECT_EQ(service_home.read(copy).size(), 340u);
    EXPECT_EQ(service_home.read(L"Orvane\\Chronobel\\ServFile.txt"), "#mine\r\n127.0.0.7");
    EXPECT_FALSE(changeable_by_standard_users(service_home / L"Orvane\\Chronobel"));
    EXPECT_FALSE(changeable_by_standard_users(service_home / L"Orvane"));

    // Without the rights to write the service's copy (here: its new file
    // cannot be made) the service keeps its settings, and the log says so
    // once in a run, however often the user saves.
    const std::string service_copy = service_home.read(copy);
    ASSERT_TRUE(CreateDirectoryW((service_home / L"Orvane\\Chronobel\\dSync.new").c_str(), nullptr));
    state.settings.sync_timeout_s = 34;
    EXPECT_TRUE(save_settings_and_startup(state, places));
    EXPECT_TRUE(save_settings_and_startup(state, places));
    EXPECT_EQ(service_home.read(copy), service_copy);
    const std::string log = data.read(L"dLog.txt");
    const std::string note = "The service keeps its settings until they are saved as administrator";
    ASSERT_NE(log.find(note), std::string::npos) << log;
    EXPECT_EQ(log.find(note), log.rfind(note));
    RemoveDirectoryW((service_home / L"Orvane\\Chronobel\\dSync.new").c_str());
    DeleteService(service.get());

    // The new file cannot be made: the old one stays whole and the log says so.
    const std::string before = data.read(L"dSync.dat");
    ASSERT_TRUE(CreateDirectoryW((data / L"dSync.new").c_str(), nullptr));
    state.settings.sync_timeout_s = 44;
    EXPECT_FALSE(save_settings_and_startup(state, places));
    EXPECT_EQ(data.read(L"dSync.dat"), before);
    EXPECT_NE(data.read(L"dLog.txt").find("Settings could not be saved in "), std::string::npos);

    // The service process never saves.
    running_as_service = 1;
    RemoveDirectoryW((data / L"dSync.new").c_str());
    EXPECT_TRUE(save_settings_and_startup(state, places));
    running_as_service = 0;
    EXPECT_EQ(data.read(L"dSync.dat"), before);
}

TEST(ServiceFolder, IsMadeForAdministratorsAloneAnOpenOneIsTightenedAndAnOpenProgramIsNeverRegistered) {
    win32_temp_dir base;
    const std::wstring folder = base / L"service";
    std::string reason;
    ASSERT_EQ(secure_service_folder(folder, reason), folder_trust::trusted);
    EXPECT_FALSE(changeable_by_standard_users(folder));
    EXPECT_EQ(secure_service_folder(folder, reason), folder_trust::trusted) << "as it is: nothing to do";

    // Opened to everybody, with a file planted while it was open: both are
    // taken back.
    set_access(folder, open_to_everyone);
    base.write(L"service\\ServFile.txt", "#planted\r\n192.0.2.1\r\n");
    set_access(folder + L"\\ServFile.txt", open_to_everyone);
    ASSERT_TRUE(changeable_by_standard_users(folder));
    ASSERT_TRUE(changeable_by_standard_users(folder + L"\\ServFile.txt"));
    EXPECT_EQ(secure_service_folder(folder, reason), folder_trust::tightened);
    EXPECT_FALSE(changeable_by_standard_users(folder));
    EXPECT_FALSE(changeable_by_standard_users(folder + L"\\ServFile.txt"));

    // A file where the folder belongs is refused, and so is what cannot be made.
    base.write(L"file", "");
    EXPECT_EQ(secure_service_folder(base / L"file", reason), folder_trust::refused);
    EXPECT_EQ(reason, "it is not a folder");
    EXPECT_EQ(secure_service_folder(base / L"missing\\service", reason), folder_trust::refused);
    EXPECT_NE(reason.find("cannot be made"), std::string::npos);

    // A program in a folder that everybody may change is never registered.
    chronobel_state state;
    state.exe_name = L"Chronobel.exe";
    split_path(state.program_path, folder + L"\\Chronobel.exe");
    base.write(L"service\\Chronobel.exe", "");
    set_access(folder, open_to_everyone);
    std::string message;
    EXPECT_EQ(install_own_service(state, &message), own_service_unsafe_folder);
    EXPECT_NE(message.find("can change " + narrow(folder) + "."), std::string::npos) << message;
    service_status_record status;
    std::uint8_t installed = 1, running = 0;
    query_service(L"Chronobel", status, installed, running);
    EXPECT_EQ(installed, 0);
}

TEST(Relaunch, TheWindowIsAskedToEndOnlyWhenTheNewInstanceStarted) {
    win32_temp_dir data;
    chronobel_state state;
    split_path(state.data_path, data.dir());
    apply_default_settings(state);
    HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    MSG message;
    // A program that is not there cannot start: this instance goes on.
    split_path(state.program_path, own_directory() + L"no-such-program.exe");
    state.exe_name = L"no-such-program.exe";
    EXPECT_FALSE(relaunch_elevated(state, window));
    EXPECT_FALSE(PeekMessageW(&message, window, WM_COMMAND, WM_COMMAND, PM_REMOVE));
    // Under Wine "runas" starts the program like "open".
    split_path(state.program_path, own_directory() + L"window_probe.exe");
    state.exe_name = L"window_probe.exe";
    EXPECT_TRUE(relaunch_elevated(state, window));
    ASSERT_TRUE(PeekMessageW(&message, window, WM_COMMAND, WM_COMMAND, PM_REMOVE));
    EXPECT_EQ(message.wParam, 2u);
    EXPECT_EQ(data.read(L"dSync.dat").size(), 340u);  // saved for the new instance
    DestroyWindow(window);
}
