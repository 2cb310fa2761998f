// Whether people without administrative rights may change a file or folder,
// judged from its owner and its access list as the service manager's
// account would see them: the service must never trust what a standard
// user can write. The access list arrives in plain form (see
// service_data_win32.cpp), so the judgement is the same on every system.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace orvane {

// Well-known security identifiers, in their text form.
inline constexpr wchar_t sid_everyone[] = L"S-1-1-0";
inline constexpr wchar_t sid_interactive[] = L"S-1-5-4";
inline constexpr wchar_t sid_authenticated_users[] = L"S-1-5-11";
inline constexpr wchar_t sid_users[] = L"S-1-5-32-545";

// One entry of an access list.
struct access_entry {
    bool allow = true;          // an allowing entry; else a denying one
    bool inherit_only = false;  // applies only to what is made inside, not here
    std::wstring sid;
    std::uint32_t mask = 0;
};

// What an object's descriptor says.
struct object_access {
    std::wstring owner;
    bool has_list = true;  // no list at all lets everybody do everything
    std::vector<access_entry> entries;
};

// Access bits that let their holder change a file or folder, or what a
// folder holds: writing, appending (creating files and folders), deleting
// (a child), and changing the owner or the access list.
constexpr std::uint32_t file_write_data = 0x2, file_append_data = 0x4, file_delete_child = 0x40,
                        access_delete = 0x10000, access_write_dac = 0x40000, access_write_owner = 0x80000,
                        generic_all = 0x10000000, generic_write = 0x40000000;
constexpr std::uint32_t changing_access = file_write_data | file_append_data | file_delete_child | access_delete |
                                          access_write_dac | access_write_owner | generic_all | generic_write;

// True when the Users, Authenticated Users, Everyone and Interactive groups
// together (the groups of any standard user's logon) are granted a changing
// right, or one of them owns the object (an owner may always rewrite the
// access list). Entries are taken in their order, as the system does: a
// right denied before it is granted stays denied.
bool changeable_by_standard_users(const object_access& access);

}  // namespace orvane
