#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace corvanetov {

// Writing a file the user named. Only a regular file is written over, or a
// name where nothing is yet: a device node or a named pipe in its place is
// refused, never replaced. A link is followed, unless another user may have
// planted it (UserPath::PlantedLink). A new file is the user's alone, as
// settings and traces hold lock codes; a file written over keeps its mode.
class FileSave {
public:
    // Why path cannot take a save, empty when it can: asked before an
    // operation starts, so that a refused file leaves the handset untouched.
    static std::string Refusal(const std::string& path);
    // Whether a save waits until its bytes are on the disk: the user's files
    // do; a simulator's outputs, read back at once, need not.
    enum class Sync { ToDisk, None };
    // Replaces the file as a whole or not at all: the bytes go to a new file
    // beside it, (reach the disk,) and only then take the old name. On
    // failure the old file is untouched and reason says why.
    static bool Replace(const std::string& path, const void* bytes, size_t size, std::string& reason,
                        Sync sync = Sync::ToDisk);
    // The same for a file made piece by piece (an export of any size): fill
    // writes to the new file's descriptor with WriteAll; false stops it,
    // and the old file stays.
    using Fill = std::function<bool(int fd)>;
    static bool Replace(const std::string& path, const Fill& fill, std::string& reason, Sync sync = Sync::ToDisk);
    // Writes every byte, or false with errno.
    static bool WriteAll(int fd, const void* bytes, size_t count);
    // Makes a file the user's alone before another writer (Qt's settings,
    // which keep a file's mode) writes it: created empty where nothing is
    // (its folders too),
    // narrowed when others may read it. A link or what is no regular file
    // is left as it is.
    static void MakePrivate(const std::string& path);
    // A file to add to at its end (a trace, a log): its descriptor, or -1
    // with the reason.
    static int OpenForAppend(const std::string& path, std::string& reason);

private:
    // Where a save goes: the file a link points to, else the path itself.
    static std::string Target(const std::string& path);
    static int CreateBeside(const std::string& target, std::string& temporary);
    static void SyncFolder(const std::string& path);
};

} // namespace corvanetov
