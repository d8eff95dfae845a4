// The code and font image loaders of a software download, and the flash
// plan made from what they found: an image's size (up to a two-part image),
// its leading bytes, the download option and the font start address come
// from the fuzzer; the rest of each image reads as zeros.
#include <cstdint>
#include <vector>

#include "FuzzBytes.h"
#include "FuzzCheck.h"
#include "ScratchFile.h"
#include "diag/DiagConstants.h"
#include "engine/DownloadImages.h"
#include "engine/DownloadOption.h"
#include "engine/EngineConstants.h"
#include "engine/FlashPlan.h"

using namespace corvanetov;

namespace {
// Past the small-image limit, so that two-part images are planned too; the
// size is taken from three bytes.
constexpr uint32_t kLargestImage = 0xFFFFFF;

void WriteImage(FuzzBytes& in, const ScratchFile& file)
{
    uint32_t size = static_cast<uint32_t>(in.TakeU16()) << 8 | in.TakeByte();
    file.Write(in.Take(in.TakeU16()));
    file.Resize(size);
}

void CheckCoverage(const FlashPlan& plan)
{
    for (const FlashPlan::Coverage& coverage : plan.FileCoverage()) {
        uint64_t unwritten = 0;
        for (auto [from, to] : coverage.unwritten) {
            FuzzCheck(from < to && to <= coverage.fileSize, "unwritten range inside the file");
            unwritten += to - from;
        }
        FuzzCheck(coverage.written + unwritten == coverage.fileSize, "every byte of a file written or listed unwritten");
    }
}

// The first and the last block of each pass (where a file's start and end
// meet the block grid) read from an unchanged image. All of them would be
// the flash itself, at a hundredth of the runs.
void CheckEdgeBlocks(const FlashPlan& plan)
{
    std::vector<uint8_t> block(diag::kFlashBlockSize);
    for (const FlashPass& pass : plan.Passes()) {
        for (uint32_t k : {0u, pass.blocks - 1}) {
            if (k >= pass.blocks)
                continue;
            bool read = pass.ReadBlock(k, block.data());
            FuzzCheck(read, "an unchanged image reads at the edges of its passes");
        }
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const ScratchFile code("code.img");
    static const ScratchFile font("font.img");
    FuzzBytes in(data, size);
    int option = in.TakeByte() % (engine::kDownloadOptions + 1); // one past the last: refused, still planned
    DownloadImages images;
    images.fontStartAddress = static_cast<uint32_t>(in.TakeU16()) << 16 | in.TakeU16();
    WriteImage(in, code);
    WriteImage(in, font);
    images.LoadCodeImage(code.Path());
    images.LoadFontImage(font.Path());
    FuzzCheck(images.codePath.empty() || images.codeSize <= kLargestImage, "code size as the file's");

    FlashPlan plan(DownloadOption::Loading(option), images);
    CheckCoverage(plan);
    CheckEdgeBlocks(plan);
    return 0;
}
