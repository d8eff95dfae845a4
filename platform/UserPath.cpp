#include "platform/UserPath.h"

#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace corvanetov {

std::string UserPath::PlantedLink(const std::string& path)
{
    struct stat link {};
    struct stat folder {};
    if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode) || ::stat(FolderOf(path).c_str(), &folder) != 0)
        return {};
    const bool shared = (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH);
    if (!shared || link.st_uid == ::geteuid() || link.st_uid == folder.st_uid)
        return {};
    return path + " is a link another user left in a shared folder: it is not followed";
}

std::string UserPath::NotRegular(const std::string& path)
{
    return path + " is not a regular file";
}

std::string UserPath::Failure(const std::string& path, int error)
{
    return path + ": " + std::strerror(error);
}

std::string UserPath::FolderOf(const std::string& path)
{
    size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace corvanetov
