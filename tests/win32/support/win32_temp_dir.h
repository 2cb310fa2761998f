// A fresh directory under the Windows temporary folder for one test, named
// as the program names directories (ending in a backslash), removed with
// everything in it.
#pragma once
#include <string>

namespace orvane::testing {

class win32_temp_dir {
public:
    win32_temp_dir();
    ~win32_temp_dir();
    win32_temp_dir(const win32_temp_dir&) = delete;
    win32_temp_dir& operator=(const win32_temp_dir&) = delete;

    // The directory, ending in a backslash.
    const std::wstring& dir() const { return dir_; }
    std::wstring operator/(const std::wstring& name) const { return dir_ + name; }

    void write(const std::wstring& name, const std::string& bytes) const;
    std::string read(const std::wstring& name) const;

private:
    std::wstring dir_;
};

// Removes a directory and everything in it; quiet when it is not there.
void remove_tree(const std::wstring& directory);
// This test program's own directory, ending in a backslash.
std::wstring own_directory();

}  // namespace orvane::testing
