// The security of what the service reads: its own data folder, made or
// tightened so that only SYSTEM and Administrators can change it, and the
// test of a program folder before it is registered as the service.
#pragma once
#include <string>

namespace orvane {

// The service folder's descriptor: owned by Administrators; SYSTEM and
// Administrators have full control, Users read and execute; nothing is
// inherited from the parent, and what is made inside inherits these.
inline constexpr wchar_t service_folder_descriptor[] =
    L"O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

enum class folder_trust {
    trusted,    // made now, or already as secure as it must be
    tightened,  // it was weaker; it now carries the service folder's descriptor
    refused,    // weaker, and it could not be tightened (or not be made)
};

// Makes `folder` (without a trailing separator) with the service folder's
// descriptor, or tightens an existing one that standard users can change.
// `reason` says why a folder is refused. (Windows only.)
folder_trust secure_service_folder(const std::wstring& folder, std::string& reason);

// True when standard users can change the file or folder at `path`, or its
// security cannot be read (what cannot be judged is not trusted).
bool changeable_by_standard_users(const std::wstring& path);

}  // namespace orvane
