// Settings that came after dSync.dat's layout was fixed. They live beside it
// in "dExtra.txt", one "name=value" line each, so that dSync.dat keeps the
// bytes older copies and the service read. A missing file or line gives the
// default; a bad value is ignored; lines this program does not know are kept
// when it writes the file.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace orvane {

inline constexpr wchar_t extra_settings_file_name[] = L"dExtra.txt";

struct extra_settings {
    // Balloons from the tray icon: failing, recovered, clock found off.
    std::uint8_t balloons = 1;
};

// The settings that `text` gives, over the defaults.
extra_settings extra_settings_from_text(std::string_view text);
// The file's new text: `old_text` with each known line's value replaced,
// unknown lines kept, missing settings added (CR LF line ends).
std::string extra_settings_text(const extra_settings& settings, std::string_view old_text);
// Reads `directory` + the file name (directory ends in a separator); the
// defaults when it is missing or unreadable.
extra_settings load_extra_settings(const std::wstring& directory);
// Writes it whole or not at all (write_file_replacing); false when it failed.
bool save_extra_settings(const extra_settings& settings, const std::wstring& directory);

}  // namespace orvane
