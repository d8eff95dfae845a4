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
    // the whole image. The notice says why a file could not be read, or
    // that a short one left the rest of the image as it was: a later step
    // would otherwise find old values there without a word.
    static ReadResult Read(const std::string& path, NvDoc& doc, std::string* notice = nullptr);
    // Replaces the file as a whole or not at all (FileSave::Replace); on
    // failure the old file is untouched and reason says why.
    static bool Write(const std::string& path, const NvDoc& doc, std::string& reason);
    static std::string ShortFileNotice(const std::string& path, size_t bytes);
};

} // namespace corvanetov
