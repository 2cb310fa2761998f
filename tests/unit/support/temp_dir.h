// A fresh temporary directory for one test, removed with everything in it.
#pragma once
#include <filesystem>
#include <string>

namespace orvane::testing {

class temp_dir {
public:
    temp_dir();
    ~temp_dir();
    temp_dir(const temp_dir&) = delete;
    temp_dir& operator=(const temp_dir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The directory as the program names directories: ending in a separator.
    std::wstring dir() const { return path_.wstring() + L"/"; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

    void write(const std::string& name, const std::string& bytes) const;
    std::string read(const std::string& name) const;
    bool exists(const std::string& name) const { return std::filesystem::exists(path_ / name); }

private:
    std::filesystem::path path_;
};

}  // namespace orvane::testing
