#include <windows.h>
#include "sys/files.h"

namespace orvane {
namespace {
HANDLE as_handle(std::intptr_t h) { return reinterpret_cast<HANDLE>(h); }
sys_file wrap(HANDLE h) {
    return h == INVALID_HANDLE_VALUE ? sys_file() : sys_file(reinterpret_cast<std::intptr_t>(h));
}
}  // namespace

std::size_t sys_file::read(void* buffer, std::size_t size) {
    DWORD got = 0;
    if (!is_open() || !ReadFile(as_handle(handle_), buffer, static_cast<DWORD>(size), &got, nullptr)) return 0;
    return got;
}

std::size_t sys_file::write(const void* buffer, std::size_t size) {
    DWORD done = 0;
    if (!is_open() || !WriteFile(as_handle(handle_), buffer, static_cast<DWORD>(size), &done, nullptr)) return 0;
    return done;
}

bool sys_file::flush() { return is_open() && FlushFileBuffers(as_handle(handle_)) != 0; }

void sys_file::close() {
    if (is_open()) CloseHandle(as_handle(handle_));
    handle_ = invalid;
}

sys_file open_for_reading(const std::wstring& path, sharing share) {
    return wrap(CreateFileW(path.c_str(), GENERIC_READ, share == sharing::read ? FILE_SHARE_READ : 0, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

sys_file create_always(const std::wstring& path) {
    return wrap(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
}

sys_file open_for_append(const std::wstring& path) {
    return wrap(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool file_exists(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool create_directory(const std::wstring& path) { return CreateDirectoryW(path.c_str(), nullptr) != 0; }

bool replace_file(const std::wstring& from, const std::wstring& to) {
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool delete_file(const std::wstring& path) { return DeleteFileW(path.c_str()) != 0; }

std::int64_t file_size(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return (static_cast<std::int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace orvane
