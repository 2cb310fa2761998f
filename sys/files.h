// Files by wide path, as the program's data files are named.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace orvane {

// The directory separator of paths on this system.
#ifdef _WIN32
constexpr wchar_t path_separator = L'\\';
#else
constexpr wchar_t path_separator = L'/';
#endif

// An open file; closed when it goes out of scope.
class sys_file {
public:
    sys_file() = default;
    explicit sys_file(std::intptr_t handle) : handle_(handle) {}
    sys_file(sys_file&& other) noexcept : handle_(other.handle_) { other.handle_ = invalid; }
    sys_file& operator=(sys_file&& other) noexcept;
    sys_file(const sys_file&) = delete;
    sys_file& operator=(const sys_file&) = delete;
    ~sys_file() { close(); }

    bool is_open() const { return handle_ != invalid; }
    // Bytes read (0 at the end or on an error).
    std::size_t read(void* buffer, std::size_t size);
    // Bytes written.
    std::size_t write(const void* buffer, std::size_t size);
    // Hands what was written to the disk; false when that failed.
    bool flush();
    void close();

    static constexpr std::intptr_t invalid = -1;

private:
    std::intptr_t handle_ = invalid;
};

enum class sharing { none, read };

// Opens an existing file for reading; the result is not open when the file
// does not exist or cannot be opened.
sys_file open_for_reading(const std::wstring& path, sharing share);
// Creates the file for reading and writing, replacing an existing one.
sys_file create_always(const std::wstring& path);
// Opens the file for writing at its end, creating it when missing.
sys_file open_for_append(const std::wstring& path);
bool file_exists(const std::wstring& path);
// True when the directory was created (false also when it already exists).
bool create_directory(const std::wstring& path);
// Moves a file, replacing the target in one step (the target is then either
// the old file or the new one, never a mix), and only returns once the move
// is on the disk.
bool replace_file(const std::wstring& from, const std::wstring& to);
bool delete_file(const std::wstring& path);
// The name a whole-file write uses beside `path` until it is complete: the
// extension replaced by ".new" ("dSync.dat" -> "dSync.new").
std::wstring temporary_name_for(const std::wstring& path);
// Writes `size` bytes as the whole new content of `path`: into the temporary
// name first, flushed, then moved over `path` in one step, so that a write
// cut short (a full disk, a crash) never leaves a partial `path`. False when
// anything failed; `path` is then as it was and no temporary file is left.
bool write_file_replacing(const std::wstring& path, const void* bytes, std::size_t size);
// Size in bytes, or -1 when the file cannot be examined.
std::int64_t file_size(const std::wstring& path);

// UTF-8 form of a wide string (POSIX file names; messages).
std::string narrow(const std::wstring& text);
std::wstring widen(const std::string& text);

}  // namespace orvane
