#include <windows.h>
#include <cstring>
#include "platform/policy.h"
#include "platform/registry_win32.h"
#include "sys/files.h"

namespace orvane {
namespace {

// A policy value longer than this is no list of servers anyone means.
constexpr DWORD longest_policy_bytes = 64 * 1024;

// The strings of a REG_MULTI_SZ, without the empty ones (the closing one
// and those a careless editor leaves).
std::vector<std::string> strings_of(const std::vector<BYTE>& data) {
    std::wstring all(data.size() / sizeof(wchar_t), L'\0');
    if (!all.empty()) std::memcpy(all.data(), data.data(), all.size() * sizeof(wchar_t));
    std::vector<std::string> texts;
    std::size_t start = 0;
    while (start < all.size()) {
        std::size_t end = all.find(L'\0', start);
        if (end == std::wstring::npos) end = all.size();
        if (end > start) {
            std::wstring text = all.substr(start, end - start);
            // Only ASCII makes a host name the list takes: anything else
            // becomes a blank, which the check refuses, rather than a '?'.
            for (wchar_t& c : text)
                if (c >= 0x80) c = L' ';
            texts.push_back(narrow(text));
        }
        start = end + 1;
    }
    return texts;
}

}  // namespace

std::vector<found_policy_value> read_machine_policy() {
    std::vector<found_policy_value> found;
    for (const policy_entry& entry : policy_table()) {
        DWORD type = REG_NONE;
        std::vector<BYTE> data;
        const std::wstring name = widen(entry.value_name);
        const int result =
            read_registry_value(HKEY_LOCAL_MACHINE, policy_key, name, type, data, longest_policy_bytes);
        if (result == registry_value_missing) continue;
        found_policy_value value;
        value.name = entry.value_name;
        // A value that cannot be read whole counts as one of the wrong type.
        const bool whole = result == registry_done;
        if (whole && type == REG_DWORD && data.size() == sizeof(DWORD)) {
            value.type = found_type::dword;
            std::memcpy(&value.number, data.data(), sizeof(DWORD));
        } else if (whole && type == REG_MULTI_SZ) {
            value.type = found_type::multi_string;
            value.texts = strings_of(data);
        }
        found.push_back(std::move(value));
    }
    return found;
}

}  // namespace orvane
