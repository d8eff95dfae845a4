#pragma once

#include <string>

namespace corvanetov {

class NvDoc;

// A settings file (*.mmc): the settings image written out byte for byte.
class SettingsFile {
public:
    enum class ReadResult { Ok, CannotOpen, InvalidModel };

    // Reads at most an image's worth from the start of the file; a shorter
    // file replaces only the bytes it has. A file of another model zeroes
    // the whole image.
    static ReadResult Read(const std::string& path, NvDoc& doc);
    // Replaces the file as a whole or not at all: the image goes to a new
    // file beside it, reaches the disk, and only then takes the old name. On
    // failure the old file is untouched and reason says why.
    static bool Write(const std::string& path, const NvDoc& doc, std::string& reason);

private:
    static std::string TargetPath(const std::string& path);
    static bool WriteAll(int fd, const unsigned char* bytes, size_t count);
    static void SyncFolder(const std::string& path);
};

} // namespace corvanetov
