#include "support/win32_temp_dir.h"
#include <windows.h>
#include <atomic>
#include <stdexcept>

namespace orvane::testing {
namespace {
std::atomic<unsigned> g_count{0};
}

win32_temp_dir::win32_temp_dir() {
    wchar_t base[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, base);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::wstring candidate = std::wstring(base) + L"chronobel-test-" + std::to_wstring(GetCurrentProcessId()) +
                                 L"-" + std::to_wstring(g_count++);
        if (CreateDirectoryW(candidate.c_str(), nullptr)) {
            dir_ = candidate + L"\\";
            return;
        }
    }
    throw std::runtime_error("no temporary directory");
}

win32_temp_dir::~win32_temp_dir() { remove_tree(dir_); }

void win32_temp_dir::write(const std::wstring& name, const std::string& bytes) const {
    HANDLE file = CreateFileW((dir_ + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot write a test file");
    DWORD done = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
    CloseHandle(file);
}

std::string win32_temp_dir::read(const std::wstring& name) const {
    HANDLE file = CreateFileW((dir_ + name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string bytes;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
}

void remove_tree(const std::wstring& directory) {
    std::wstring dir = directory;
    if (!dir.empty() && dir.back() != L'\\') dir += L'\\';
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((dir + L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                remove_tree(dir + name);
            else
                DeleteFileW((dir + name).c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(dir.c_str());
}

std::wstring own_directory() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring full = path;
    return full.substr(0, full.rfind(L'\\') + 1);
}

}  // namespace orvane::testing
