// corvanetov-samples [--models] FOLDER: writes the practice files into
// FOLDER, or with --models each into its model folder below FOLDER, where
// the window finds it. The build writes them for the package and `make demo`
// lays them out for its host.
#include <cstdio>
#include <cstring>
#include <string>

#include "samples/PracticeFiles.h"

using namespace corvanetov;

namespace {
constexpr char kUsage[] = "usage: %s [--models] FOLDER\n";
}

int main(int argc, char* argv[])
{
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::printf(kUsage, argv[0]);
        return 0;
    }
    const bool models = argc == 3 && std::strcmp(argv[1], "--models") == 0;
    // A folder never starts with a dash here: an unknown option is no folder to write into.
    if ((argc != 2 && !models) || argv[argc - 1][0] == '-') {
        std::fprintf(stderr, kUsage, argv[0]);
        return 2;
    }
    std::string failed;
    auto layout = models ? PracticeFiles::Layout::ModelFolders : PracticeFiles::Layout::Flat;
    if (!PracticeFiles::WriteAll(argv[argc - 1], layout, failed)) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], failed.c_str());
        return 1;
    }
    return 0;
}
