// "dSync.dat": the magic "SYNC2000" followed by the settings record.
#pragma once
#include <string>
#include "core/state.h"

namespace orvane {

constexpr char settings_magic[8] = {'S', 'Y', 'N', 'C', '2', '0', '0', '0'};
constexpr std::size_t settings_file_size = sizeof settings_magic + settings_record_size;

// Reads data_dir + "dSync.dat" into the settings and the engine, or applies
// the defaults when the file is missing, short or of another layout; then
// the settings beside it (core/extra_settings.h).
void load_settings(chronobel_state& state);
// The same from the file\'s bytes as read (`size` of them, any number).
void settings_from_bytes(chronobel_state& state, const unsigned char* bytes, std::size_t size);
// Writes `directory` + "dSync.dat" (directory ends in a separator): the bytes
// go to "dSync.new" there, then replace the old file in one step. False when
// the save failed; the old file is then as it was.
bool save_settings(chronobel_state& state, const std::wstring& directory);
// Notes the settings as they are now as the user's own, then puts the
// policy in force on top of them.
void put_policy_on_top(chronobel_state& state);
// Brings every value of an accepted record into the range the program
// works with, so a damaged file can never lead it astray; a damaged date
// range becomes the default range.
void make_settings_safe(chronobel_state& state);

}  // namespace orvane
