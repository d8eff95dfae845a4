#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "engine/DownloadImages.h"
#include "engine/DownloadOption.h"
#include "engine/FlashPass.h"

namespace corvanetov {

// What a download writes where: the code passes (the boot region, then the
// main part of a two-part image) and the font pass, each with its start
// request, erase range and blocks. The download runs it; the command line
// shows it before anything is sent.
class FlashPlan {
public:
    FlashPlan(const DownloadOption& option, const DownloadImages& images);

    const std::vector<FlashPass>& Passes() const { return m_passes; }
    // Data bytes of every block of every pass.
    uint64_t BlockBytes() const;

    // Which bytes of an image file its passes write.
    struct Coverage {
        std::string path;
        uint64_t fileSize = 0;
        uint64_t written = 0;
        std::vector<std::pair<uint64_t, uint64_t>> unwritten; // [from, to) file offsets
    };
    std::vector<Coverage> FileCoverage() const;

    // The bytes on the line of the block phase: each block's frame with its
    // escapes, and the loader's acknowledgement of it. Reads the images
    // block by block; false when one cannot be read.
    struct Wire {
        uint64_t requestBytes = 0;
        uint64_t answerBytes = 0;
    };
    bool WireBytes(Wire& wire) const;

private:
    static FlashPass CodePass(const DownloadImages& images, bool mainPart);
    static FlashPass FontPass(const DownloadImages& images, bool codeWritten);
    static Coverage CoverageOf(const std::vector<const FlashPass*>& passes);

    std::vector<FlashPass> m_passes;
};

} // namespace corvanetov
