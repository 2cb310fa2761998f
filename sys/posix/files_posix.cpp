#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include "sys/files.h"

namespace orvane {

std::size_t sys_file::read(void* buffer, std::size_t size) {
    if (!is_open()) return 0;
    ssize_t n;
    do n = ::read(static_cast<int>(handle_), buffer, size);
    while (n < 0 && errno == EINTR);
    return n > 0 ? static_cast<std::size_t>(n) : 0;
}

std::size_t sys_file::write(const void* buffer, std::size_t size) {
    if (!is_open()) return 0;
    std::size_t done = 0;
    while (done < size) {
        ssize_t n = ::write(static_cast<int>(handle_), static_cast<const char*>(buffer) + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

bool sys_file::flush() { return is_open() && ::fsync(static_cast<int>(handle_)) == 0; }

void sys_file::close() {
    if (is_open()) ::close(static_cast<int>(handle_));
    handle_ = invalid;
}

sys_file open_for_reading(const std::wstring& path, sharing) {
    int fd = ::open(narrow(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    struct stat st{};
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return {};
    }
    return sys_file(fd);
}

sys_file create_always(const std::wstring& path) {
    int fd = ::open(narrow(path).c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    return fd < 0 ? sys_file() : sys_file(fd);
}

sys_file open_for_append(const std::wstring& path) {
    int fd = ::open(narrow(path).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    return fd < 0 ? sys_file() : sys_file(fd);
}

bool file_exists(const std::wstring& path) {
    struct stat st{};
    return ::stat(narrow(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool create_directory(const std::wstring& path) { return ::mkdir(narrow(path).c_str(), 0755) == 0; }

bool replace_file(const std::wstring& from, const std::wstring& to) {
    return std::rename(narrow(from).c_str(), narrow(to).c_str()) == 0;
}

bool delete_file(const std::wstring& path) { return ::unlink(narrow(path).c_str()) == 0; }

std::int64_t file_size(const std::wstring& path) {
    struct stat st{};
    return ::stat(narrow(path).c_str(), &st) == 0 ? static_cast<std::int64_t>(st.st_size) : -1;
}

}  // namespace orvane
