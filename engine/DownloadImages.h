#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/InputFile.h"

namespace corvanetov {

// The images of a software download and what their loaders found out about
// them. Nothing of an image is kept but these facts and the file, open from
// its load to the end of the download: its blocks are read as they are sent,
// always from the file that was checked, never from one put in its place.
struct DownloadImages {
    std::string codePath;
    std::string fontPath;
    std::shared_ptr<const InputFile> codeFile;
    std::shared_ptr<const InputFile> fontFile;
    uint64_t codeSize = 0;
    bool smallImage = false;   // no main part: at most 0x4FFFF bytes
    bool twoPartImage = false; // boot and main part
    uint32_t imageVersion = 0; // 0 while no code image is loaded
    uint64_t fontSize = 0;
    uint32_t fontStartAddress = 0;
    std::string refusal; // why the last load was refused, as the user reads it

    // A regular file that starts with "CODE". False leaves the code facts
    // as they were.
    bool LoadCodeImage(const std::string& path);
    // A regular file with at least one byte: a font that writes nothing
    // would end as a completed download.
    bool LoadFontImage(const std::string& path);
    // Whether the font's blocks, from its start address on, would reach
    // past the last address of the flash.
    bool FontRunsPastEnd() const;

    // Bytes of a file, read at offset; bytes past the end of a file read
    // 0xFF. False when the file cannot be read up to its size known here
    // (shortened since it was loaded, or not loaded).
    static bool ReadBlock(const InputFile* file, uint64_t size, uint64_t offset, uint8_t* block, size_t count);
};

} // namespace corvanetov
