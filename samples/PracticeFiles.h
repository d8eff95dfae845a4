#pragma once

#include <string>
#include <vector>

namespace corvanetov {

// The practice files that come with the tool, so that the user guide's
// examples run against the simulated handset as written: a made-up code
// image and font image, a PRL, a damaged PRL, an ERI file and a settings
// file. None holds anything of a real handset's software.
class PracticeFiles {
public:
    struct File {
        const char* name;
        // Where the tool's views look for such a file, below the folder the
        // tool is started in.
        const char* modelFolder;
        bool (*write)(const std::string& path);
    };
    static const std::vector<File>& All();

    // Where the files go: all in the folder, or each in its model folder
    // below it (created), ready for the window to find them.
    enum class Layout { Flat, ModelFolders };
    // Writes every file; false, with the path that failed in failed, when
    // one cannot be written.
    static bool WriteAll(const std::string& folder, Layout layout, std::string& failed);
};

} // namespace corvanetov
