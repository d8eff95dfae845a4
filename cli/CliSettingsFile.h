#pragma once

#include <optional>
#include <string>
#include <vector>

namespace corvanetov {

class NvDoc;

// The settings commands that work on a settings file alone, without a
// handset: show it, and edit it under the same rules as the settings view's
// write.
class CliSettingsFile {
public:
    struct Edits {
        std::optional<std::string> lockCode;
        std::optional<std::string> uimLockCode;
        std::vector<std::string> sids; // "K=V", K from 1 to 20
    };

    // Exit statuses as the command line's: 0, 1 failed, 2 refused input.
    static int Show(const std::string& path, bool json);
    static int Set(const std::string& path, const Edits& edits);
    // Reads a settings file into doc; false after printing the reason. A
    // short file is read and said to be short.
    static bool Load(const std::string& path, NvDoc& doc);
    // Whether path can take a save (FileSave::Refusal); false after printing
    // why not. Asked before the handset is touched.
    static bool CanSave(const std::string& path);
    // Replaces the file with doc's image as the settings view saves it;
    // false after printing the reason.
    static bool Save(const std::string& path, NvDoc& doc);
    // The lock code, UIM lock code and SIDs doc holds, on standard output.
    static void Print(const NvDoc& doc, bool json);

private:
    static std::string ApplyEdits(const Edits& edits, NvDoc& doc);
};

} // namespace corvanetov
