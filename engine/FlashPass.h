#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/InputFile.h"

namespace corvanetov {

// One pass of the flash loader: a start request, the loader's copy, mode
// and jump, one erase, then the blocks of one image file from the erase
// start on. Block k goes to start + k * 8192 and holds the file's bytes at
// that same offset.
struct FlashPass {
    // Names the pass's steps: "Erasing Boot image" and "Flash Programming
    // of Boot", or the same of Main; a font pass names fewer steps.
    enum class Part { Boot, Main, Font };
    // What ends the attempts of the version check after the start request.
    enum class VersionCheck { None, AnyAnswer, AckOrUnknown };

    Part part = Part::Boot;
    VersionCheck versionCheck = VersionCheck::None;
    uint32_t startFirst = 0; // the start request's two values
    uint32_t startSecond = 0;
    uint32_t beforeCopyMs = 0; // pause between the start and the copy request; 0 for none
    uint32_t start = 0;        // where the erase and the blocks start
    uint32_t length = 0;       // the erase's length
    uint32_t blocks = 0;
    std::string path;
    std::shared_ptr<const InputFile> file; // the image, open since its load
    uint64_t fileSize = 0;

    uint32_t BlockAddress(uint32_t block) const;
    uint64_t BlockBytes() const;
    // Block k's bytes from the image (DownloadImages::ReadBlock).
    bool ReadBlock(uint32_t k, uint8_t* block) const;
};

} // namespace corvanetov
