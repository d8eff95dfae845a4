#pragma once

#include <cstdint>
#include <string>

namespace corvanetov {

// The images of a software download and what their loaders found out about
// them. Nothing of an image is kept but these facts: its blocks are read from
// the file as they are sent.
struct DownloadImages {
    std::string codePath;
    std::string fontPath;
    uint64_t codeSize = 0;
    bool smallImage = false;   // no main part: at most 0x4FFFF bytes
    bool twoPartImage = false; // boot and main part
    uint32_t imageVersion = 0; // 0 while no code image is loaded
    uint64_t fontSize = 0;
    uint32_t fontStartAddress = 0;

    // A regular file that starts with "CODE". False leaves the code facts
    // as they were.
    bool LoadCodeImage(const std::string& path);
    bool LoadFontImage(const std::string& path);

    // Bytes of a file, read at offset; bytes past the end of a file read
    // 0xFF. False when the file cannot be read up to its size known here
    // (gone or shortened since it was loaded).
    static bool ReadBlock(const std::string& path, uint64_t size, uint64_t offset, uint8_t* block, size_t count);
};

} // namespace corvanetov
