// The fuzz targets without the fuzzer: every file given (or every file in
// a folder given) is run once, as libFuzzer would run it. The normal build
// replays the seed corpus this way, under its own sanitizers.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {
void RunFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
}
} // namespace

int main(int argc, char** argv)
{
    size_t runs = 0;
    for (int i = 1; i < argc; ++i) {
        std::filesystem::path given(argv[i]);
        if (!std::filesystem::is_directory(given)) {
            RunFile(given);
            ++runs;
            continue;
        }
        for (const auto& entry : std::filesystem::directory_iterator(given)) {
            if (entry.is_regular_file()) {
                RunFile(entry.path());
                ++runs;
            }
        }
    }
    std::printf("%zu inputs run\n", runs);
    return runs > 0 ? 0 : 1;
}
