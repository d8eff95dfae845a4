// corvanetov-samples [--models] FOLDER: writes the practice files into
// FOLDER, or with --models each into its model folder below FOLDER, where
// the window finds it. The build writes them for the package and `make demo`
// lays them out for its host.
#include <cstdio>
#include <cstring>
#include <string>

#include "samples/PracticeFiles.h"

using namespace corvanetov;

int main(int argc, char* argv[])
{
    const bool models = argc == 3 && std::strcmp(argv[1], "--models") == 0;
    if (argc != 2 && !models) {
        std::fprintf(stderr, "usage: %s [--models] FOLDER\n", argv[0]);
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
