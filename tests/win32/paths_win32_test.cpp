// Where the Windows program finds its directories. The cases that depend on
// the program's own file name run a copy of a small program that does the
// start-up search, named "Chronobel.exe", from a temporary directory.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>
#include <string>
#include "core/paths.h"
#include "core/state.h"
#include "support/win32_temp_dir.h"
#include "sys/files.h"

using namespace orvane;
using namespace orvane::testing;

namespace {

struct found_directories {
    std::wstring program_dir;
    std::wstring data_dir;
};

// Copies the probe into `dir` as `name`, runs it there (also as its current
// directory) and reads back what it found.
found_directories run_probe_as(const win32_temp_dir& dir, const std::wstring& name) {
    const std::wstring probe = dir / name;
    EXPECT_TRUE(CopyFileW((own_directory() + L"chronobel_path_probe.exe").c_str(), probe.c_str(), FALSE));
    const std::wstring report = dir / L"found.txt";
    std::wstring command = L"\"" + probe + L"\" \"" + report + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(probe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.dir().c_str(),
                        &startup, &process)) {
        ADD_FAILURE() << "cannot start the probe, error " << GetLastError();
        return {};
    }
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 180'000), WAIT_OBJECT_0);
    DWORD code = 99;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_EQ(code, 0u);
    const std::string text = dir.read(L"found.txt");
    const std::size_t first = text.find('\n');
    const std::size_t second = text.find('\n', first + 1);
    if (first == std::string::npos || second == std::string::npos) {
        ADD_FAILURE() << "the probe wrote: " << text;
        return {};
    }
    return {widen(text.substr(0, first)), widen(text.substr(first + 1, second - first - 1))};
}

bool is_directory(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring application_data() {
    wchar_t buffer[MAX_PATH] = {};
    EXPECT_TRUE(SHGetSpecialFolderPathW(nullptr, buffer, CSIDL_APPDATA, FALSE));
    return buffer;
}

}  // namespace

TEST(WindowsPaths, SplitPathTakesTheDriveAndTheLastBackslash) {
    path_set set;
    split_path(set, L"C:\\Program Files\\Chronobel\\Chronobel.exe");
    EXPECT_EQ(set.full, L"C:\\Program Files\\Chronobel\\Chronobel.exe");
    EXPECT_EQ(set.directory, L"C:\\Program Files\\Chronobel\\");
    EXPECT_EQ(set.file, L"Chronobel.exe");
    EXPECT_EQ(set.root, L"C:\\");

    // A drive root: only `full` changes.
    split_path(set, L"D:\\");
    EXPECT_EQ(set.full, L"D:\\");
    EXPECT_EQ(set.directory, L"C:\\Program Files\\Chronobel\\");
    EXPECT_EQ(set.file, L"Chronobel.exe");
    EXPECT_EQ(set.root, L"C:\\");

    split_path(set, L"E:\\Data\\");
    EXPECT_EQ(set.directory, L"E:\\Data\\");
    EXPECT_EQ(set.file, L"");
    EXPECT_EQ(set.root, L"E:\\");
}

TEST(WindowsPaths, DataFilesAreReadFromTheDataDirectoryFirst) {
    win32_temp_dir program, data;
    chronobel_state state;
    split_path(state.program_path, program / L"Chronobel.exe");
    split_path(state.data_path, data.dir());
    EXPECT_EQ(locate_data_file(state, L"ServFile.txt"), program / L"ServFile.txt");  // in neither
    program.write(L"ServFile.txt", "p");
    EXPECT_EQ(locate_data_file(state, L"ServFile.txt"), program / L"ServFile.txt");
    data.write(L"ServFile.txt", "d");
    EXPECT_EQ(locate_data_file(state, L"ServFile.txt"), data / L"ServFile.txt");
    // A file held open without sharing cannot be read there, so the program
    // directory's copy is named instead.
    HANDLE holder = CreateFileW((data / L"ServFile.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    EXPECT_EQ(locate_data_file(state, L"ServFile.txt"), program / L"ServFile.txt");
    CloseHandle(holder);
}

TEST(WindowsPaths, WithoutDefSetTheDataStaysBesideTheProgram) {
    win32_temp_dir dir;
    const found_directories found = run_probe_as(dir, L"Chronobel.exe");
    EXPECT_EQ(found.program_dir, dir.dir());
    EXPECT_EQ(found.data_dir, dir.dir());
}

TEST(WindowsPaths, DefSetMovesTheDataIntoTheUsersApplicationData) {
    const std::wstring orvane = application_data() + L"\\Orvane";
    const bool orvane_was_there = is_directory(orvane);
    const bool chronobel_was_there = is_directory(orvane + L"\\Chronobel");
    win32_temp_dir dir;
    dir.write(L"DefSet.txt", "");
    const found_directories found = run_probe_as(dir, L"Chronobel.exe");
    EXPECT_EQ(found.program_dir, dir.dir());
    EXPECT_EQ(found.data_dir, orvane + L"\\Chronobel\\");
    EXPECT_TRUE(is_directory(orvane + L"\\Chronobel"));
    // Leave the prefix as it was.
    if (!chronobel_was_there) RemoveDirectoryW((orvane + L"\\Chronobel").c_str());
    if (!orvane_was_there) RemoveDirectoryW(orvane.c_str());
}

TEST(WindowsPaths, ARenamedProgramStillFindsItsOwnFolder) {
    // Its own module file names it, never a search by name that could find
    // another "Chronobel.exe" first or give a relative path.
    win32_temp_dir dir;
    const found_directories found = run_probe_as(dir, L"Chrono2.exe");
    EXPECT_EQ(found.program_dir, dir.dir());
    EXPECT_EQ(found.data_dir, dir.dir());
}
