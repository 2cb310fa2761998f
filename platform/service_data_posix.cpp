// The same judgement from the owner and the mode bits: a file or folder that
// another account than root owns, or that others (or a group other than
// root's) may write, is not trusted.
#include <sys/stat.h>
#include "platform/service_data.h"
#include "sys/files.h"

namespace orvane {

bool changeable_by_standard_users(const std::wstring& path) {
    struct stat info{};
    if (lstat(narrow(path).c_str(), &info) != 0) return true;
    return info.st_uid != 0 || (info.st_mode & S_IWOTH) || ((info.st_mode & S_IWGRP) && info.st_gid != 0);
}

}  // namespace orvane
