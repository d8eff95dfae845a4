#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace corvanetov {

// Made-up code and font image files, for practice (the shipped samples) and
// for the download tests and benchmarks, written a block at a time. Their
// bytes are a fixed function of the offset that includes flags and escapes,
// so every frame has bytes to escape.
class ImageMaker {
public:
    // The byte an image made here holds at offset (after the header).
    static uint8_t ByteAt(uint64_t offset);

    // The code mark, then bytes; the 32-bit value at the boot part's offset
    // says whether the image has a main part, and the one at the version's
    // offset is the image version (when the file reaches that far), as the
    // engine's image loader reads them.
    static bool WriteCode(const std::string& path, uint64_t size, uint32_t bootPartSize, uint32_t version);
    static bool WriteFont(const std::string& path, uint64_t size);
    // The bytes of a file, from offset, at most count of them.
    static std::vector<uint8_t> Read(const std::string& path, uint64_t offset = 0, size_t count = SIZE_MAX);

    static constexpr uint32_t kVersion = 0x06200512;
    static constexpr uint32_t kBootPartSize = 0x10000; // a two-part image's boot part
};

} // namespace corvanetov
