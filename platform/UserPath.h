#pragma once

#include <string>

namespace corvanetov {

// What a path the user named may be before the tool reads or writes it:
// checks shared by the readers and the writers of the user's files.
class UserPath {
public:
    // Why the tool does not follow a link at path, empty when it may. A link
    // in a folder that everyone may write to and that keeps others' entries
    // (sticky, as /tmp) is followed only when it belongs to the user or to
    // the folder's owner: anyone else may have planted it there to turn the
    // user's save onto a file of the user's own.
    static std::string PlantedLink(const std::string& path);
    static std::string NotRegular(const std::string& path);
    static std::string Failure(const std::string& path, int error);
    static std::string FolderOf(const std::string& path);
};

} // namespace corvanetov
