#include "engine/FlashPlan.h"

#include <algorithm>

#include "diag/DiagConstants.h"
#include "diag/FlashRequests.h"
#include "diag/FrameCodec.h"
#include "engine/EngineConstants.h"

namespace corvanetov {

FlashPlan::FlashPlan(const DownloadOption& option, const DownloadImages& images)
{
    if (option.code) {
        m_passes.push_back(CodePass(images, false));
        // An image without a main part gets only the boot pass: the first
        // 64 KiB of it (the boot region), however long the file is.
        if (images.twoPartImage)
            m_passes.push_back(CodePass(images, true));
    }
    if (option.font)
        m_passes.push_back(FontPass(images, option.code));
}

FlashPass FlashPlan::CodePass(const DownloadImages& images, bool mainPart)
{
    FlashPass pass;
    pass.path = images.codePath;
    pass.file = images.codeFile;
    pass.fileSize = images.codeSize;
    if (!mainPart) {
        pass.part = images.twoPartImage || images.smallImage ? FlashPass::Part::Boot : FlashPass::Part::Main;
        pass.versionCheck = FlashPass::VersionCheck::AnyAnswer;
        pass.startFirst = engine::kBootStartMarker;
        pass.startSecond = engine::kBootRegionSize;
        pass.beforeCopyMs = engine::kFlashStepPauseMs;
        pass.start = 0;
        pass.length = engine::kBootRegionSize;
    } else {
        pass.part = FlashPass::Part::Main;
        pass.startFirst = 0;
        pass.startSecond = static_cast<uint32_t>(images.codeSize);
        pass.beforeCopyMs = engine::kBeforeMainCopyMs;
        pass.start = engine::kBootRegionSize;
        pass.length = static_cast<uint32_t>(images.codeSize);
    }
    // The main pass's blocks reach past the end of the file (they start at
    // 64 KiB): its last bytes are always among them.
    pass.blocks = static_cast<uint32_t>(pass.length / diag::kFlashBlockSize);
    return pass;
}

FlashPass FlashPlan::FontPass(const DownloadImages& images, bool codeWritten)
{
    FlashPass pass;
    pass.part = FlashPass::Part::Font;
    pass.versionCheck = codeWritten ? FlashPass::VersionCheck::None : FlashPass::VersionCheck::AckOrUnknown;
    pass.path = images.fontPath;
    pass.file = images.fontFile;
    pass.fileSize = images.fontSize;
    pass.startFirst = images.fontStartAddress;
    pass.startSecond = static_cast<uint32_t>(images.fontSize);
    pass.start = 0;
    pass.length = static_cast<uint32_t>(images.fontSize);
    // The last part of a block goes too, padded with erased-flash bytes: a
    // font whose end stayed unflashed would show broken characters.
    pass.blocks = static_cast<uint32_t>((images.fontSize + diag::kFlashBlockSize - 1) / diag::kFlashBlockSize);
    return pass;
}

uint64_t FlashPlan::BlockBytes() const
{
    uint64_t bytes = 0;
    for (const FlashPass& pass : m_passes)
        bytes += pass.BlockBytes();
    return bytes;
}

std::vector<FlashPlan::Coverage> FlashPlan::FileCoverage() const
{
    std::vector<const FlashPass*> code, font;
    for (const FlashPass& pass : m_passes)
        (pass.part == FlashPass::Part::Font ? font : code).push_back(&pass);
    std::vector<Coverage> files;
    for (const auto* passes : {&code, &font})
        if (!passes->empty())
            files.push_back(CoverageOf(*passes));
    return files;
}

FlashPlan::Coverage FlashPlan::CoverageOf(const std::vector<const FlashPass*>& passes)
{
    Coverage coverage;
    coverage.path = passes.front()->path;
    coverage.fileSize = passes.front()->fileSize;
    std::vector<std::pair<uint64_t, uint64_t>> written;
    for (const FlashPass* pass : passes) {
        uint64_t from = std::min<uint64_t>(pass->start, coverage.fileSize);
        uint64_t to = std::min<uint64_t>(pass->start + pass->BlockBytes(), coverage.fileSize);
        if (to > from)
            written.emplace_back(from, to);
    }
    std::sort(written.begin(), written.end());
    uint64_t next = 0;
    for (auto [from, to] : written) {
        if (from > next)
            coverage.unwritten.emplace_back(next, from);
        uint64_t newFrom = std::max(from, next);
        if (to > newFrom)
            coverage.written += to - newFrom;
        next = std::max(next, to);
    }
    if (next < coverage.fileSize)
        coverage.unwritten.emplace_back(next, coverage.fileSize);
    return coverage;
}

bool FlashPlan::WireBytes(Wire& wire) const
{
    const uint8_t ack = diag::kFlashAck;
    std::vector<uint8_t> frame;
    FrameCodec::EncodeFrame(&ack, 1, true, false, frame);
    const uint64_t answerBytes = frame.size();
    std::vector<uint8_t> block(diag::kFlashBlockSize);
    std::vector<uint8_t> request(diag::kWriteBlockRequestSize);
    wire = {};
    for (const FlashPass& pass : m_passes) {
        for (uint32_t k = 0; k < pass.blocks; ++k) {
            if (!pass.ReadBlock(k, block.data()))
                return false;
            FlashRequests::BuildWriteBlock(pass.BlockAddress(k), block.data(), request.data());
            FrameCodec::EncodeLargeFrame(request.data(), request.size(), frame);
            wire.requestBytes += frame.size();
            wire.answerBytes += answerBytes;
        }
    }
    return true;
}

} // namespace corvanetov
