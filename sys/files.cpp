#include "sys/files.h"

namespace orvane {

sys_file& sys_file::operator=(sys_file&& other) noexcept {
    if (this != &other) {
        close();
        handle_ = other.handle_;
        other.handle_ = invalid;
    }
    return *this;
}

std::wstring temporary_name_for(const std::wstring& path) {
    constexpr wchar_t temporary_extension[] = L".new";
    const std::size_t name_start = path.find_last_of(L"/\\") + 1;  // 0 without a folder
    const std::size_t dot = path.rfind(L'.');
    const bool has_extension = dot != std::wstring::npos && dot >= name_start;
    std::wstring temporary = path.substr(0, has_extension ? dot : path.size()) + temporary_extension;
    // A file that already ends in ".new" gets a name of its own.
    return temporary == path ? path + temporary_extension : temporary;
}

bool write_file_replacing(const std::wstring& path, const void* bytes, std::size_t size) {
    const std::wstring temporary = temporary_name_for(path);
    sys_file file = create_always(temporary);
    if (!file.is_open()) return false;  // what holds the name is not ours to delete
    const bool written = file.write(bytes, size) == size && file.flush();
    file.close();
    if (written && replace_file(temporary, path)) return true;
    delete_file(temporary);
    return false;
}

std::string narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t wc : text) {
        auto c = static_cast<std::uint32_t>(wc);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::wstring widen(const std::string& text) {
    std::wstring out;
    for (std::size_t i = 0; i < text.size();) {
        auto c = static_cast<unsigned char>(text[i]);
        std::uint32_t cp = c;
        std::size_t extra = 0;
        if (c >= 0xF0) { cp = c & 0x07; extra = 3; }
        else if (c >= 0xE0) { cp = c & 0x0F; extra = 2; }
        else if (c >= 0xC0) { cp = c & 0x1F; extra = 1; }
        ++i;
        for (; extra > 0 && i < text.size(); --extra, ++i)
            cp = (cp << 6) | (static_cast<unsigned char>(text[i]) & 0x3F);
        out += static_cast<wchar_t>(cp);
    }
    return out;
}

}  // namespace orvane
