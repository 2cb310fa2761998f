#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#include "platform/service_data_win32.h"
#include "core/paths.h"
#include "platform/folder_access.h"
#include "platform/privilege.h"
#include "platform/registry_win32.h"
#include "platform/service_data.h"
#include "sys/files.h"
#include "sys/win32/owned_handle.h"

namespace orvane {
namespace {

// What a file inside the service's folder gets when the folder is tightened:
// the folder's own rights, so that no file keeps a standard user's.
constexpr wchar_t service_file_descriptor[] = L"O:BAD:PAI(A;;FA;;;SY)(A;;FA;;;BA)(A;;0x1200a9;;;BU)";

std::wstring sid_text(PSID sid) {
    LPWSTR text = nullptr;
    if (!sid || !ConvertSidToStringSidW(sid, &text)) return {};
    const owned_local held(text);
    return text;
}

// The owner and the access list of a file or folder, in plain form.
bool read_access(const std::wstring& path, object_access& access) {
    PSID owner = nullptr;
    PACL list = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                              &owner, nullptr, &list, nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    const owned_local held(descriptor);
    access.owner = sid_text(owner);
    access.has_list = list != nullptr;
    access.entries.clear();
    for (DWORD i = 0; list && i < list->AceCount; ++i) {
        void* raw = nullptr;
        if (!GetAce(list, i, &raw)) return false;
        const auto* header = static_cast<const ACE_HEADER*>(raw);
        // Files carry only these two kinds; the denying entry has the same layout.
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE && header->AceType != ACCESS_DENIED_ACE_TYPE) continue;
        auto* entry = static_cast<ACCESS_ALLOWED_ACE*>(raw);
        access.entries.push_back({header->AceType == ACCESS_ALLOWED_ACE_TYPE,
                                  (header->AceFlags & INHERIT_ONLY_ACE) != 0, sid_text(&entry->SidStart),
                                  entry->Mask});
    }
    return true;
}

owned_local descriptor_from(const wchar_t* text) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ConvertStringSecurityDescriptorToSecurityDescriptorW(text, SDDL_REVISION_1, &descriptor, nullptr);
    return owned_local(descriptor);
}

// Gives `path` the owner and the protected access list of `text`.
bool apply_descriptor(const std::wstring& path, const wchar_t* text) {
    const owned_local descriptor = descriptor_from(text);
    PSID owner = nullptr;
    PACL list = nullptr;
    BOOL defaulted = FALSE, present = FALSE;
    if (!descriptor || !GetSecurityDescriptorOwner(descriptor.get(), &owner, &defaulted) ||
        !GetSecurityDescriptorDacl(descriptor.get(), &present, &list, &defaulted))
        return false;
    std::wstring name = path;  // the call takes a writable string
    return SetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT,
                                 OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                     PROTECTED_DACL_SECURITY_INFORMATION,
                                 owner, nullptr, list, nullptr) == ERROR_SUCCESS;
}

// Files a standard user put into the folder while it was open keep their
// own rights: each gets the folder's, and a link is removed, since the
// service must not follow it.
void tighten_contents(const std::wstring& folder) {
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring path = folder + L"\\" + name;
        const bool is_folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
            is_folder ? RemoveDirectoryW(path.c_str()) : DeleteFileW(path.c_str());
        else
            apply_descriptor(path, is_folder ? service_folder_descriptor : service_file_descriptor);
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

std::string error_text(DWORD error) { return "error " + std::to_string(error); }

}  // namespace

bool changeable_by_standard_users(const std::wstring& path) {
    object_access access;
    return !read_access(path, access) || changeable_by_standard_users(access);
}

folder_trust secure_service_folder(const std::wstring& folder, std::string& reason) {
    const owned_local descriptor = descriptor_from(service_folder_descriptor);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.get(), FALSE};
    if (CreateDirectoryW(folder.c_str(), &attributes)) return folder_trust::trusted;
    if (const DWORD error = GetLastError(); error != ERROR_ALREADY_EXISTS) {
        reason = "it cannot be made (" + error_text(error) + ")";
        return folder_trust::refused;
    }
    const DWORD kind = GetFileAttributesW(folder.c_str());
    if (kind == INVALID_FILE_ATTRIBUTES || !(kind & FILE_ATTRIBUTE_DIRECTORY)) {
        reason = "it is not a folder";
        return folder_trust::refused;
    }
    if (kind & FILE_ATTRIBUTE_REPARSE_POINT) {
        reason = "it is a link to another place";
        return folder_trust::refused;
    }
    if (!changeable_by_standard_users(folder)) return folder_trust::trusted;
    // Taking the folder from the owner a standard user may be needs these
    // rights, which administrators and SYSTEM hold.
    enable_privilege(L"SeTakeOwnershipPrivilege", true);
    enable_privilege(L"SeRestorePrivilege", true);
    if (!apply_descriptor(folder, service_folder_descriptor) || changeable_by_standard_users(folder)) {
        reason = "users without administrative rights can change it, and it could not be tightened (" +
                 error_text(GetLastError()) + ")";
        return folder_trust::refused;
    }
    tighten_contents(folder);
    return folder_trust::tightened;
}

const service_folder_places& default_service_folder_places() {
    static const service_folder_places places;
    return places;
}

std::wstring service_data_folder(const service_folder_places& places) {
    std::wstring folder;
    int r = read_registry_string(places.service_folder_hive, places.service_folder_key, places.service_folder_value,
                                 folder);
    if (r == registry_value_missing)
        r = read_registry_string(places.common_folder_hive, places.common_folder_key, places.common_folder_value,
                                 folder);
    if (r != registry_done || folder.empty()) return {};
    return folder + L"\\Orvane\\Chronobel\\";
}

std::wstring secure_service_data_folder(std::string& message, const service_folder_places& places) {
    message.clear();
    const std::wstring folder = service_data_folder(places);
    if (folder.empty()) {
        message = "The service's folder cannot be found in the registry.";
        return {};
    }
    // Its parent too: whoever could change "Orvane" could swap the folder.
    const std::wstring chronobel = folder.substr(0, folder.size() - 1);
    const std::wstring orvane = chronobel.substr(0, chronobel.rfind(L'\\'));
    bool tightened = false;
    for (const std::wstring& level : {orvane, chronobel}) {
        std::string reason;
        const folder_trust trust = secure_service_folder(level, reason);
        if (trust == folder_trust::refused) {
            message = "The service's folder " + narrow(level) + " is refused: " + reason + ".";
            return {};
        }
        tightened = tightened || trust == folder_trust::tightened;
    }
    if (tightened)
        message = "The service's folder " + narrow(chronobel) +
                  " could be changed by users without administrative rights; it has been tightened.";
    return folder;
}

std::string use_service_data_folder(chronobel_state& state) {
    std::string message;
    const std::wstring folder = secure_service_data_folder(message);
    state.data_dir_only = true;
    if (folder.empty()) {
        state.service_refusal = message;
        return {};
    }
    state.data_path = path_set{};
    split_path(state.data_path, folder);
    state.service_refusal.clear();
    return message;
}

}  // namespace orvane
