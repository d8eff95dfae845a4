#include "engine/FlashPass.h"

#include "diag/DiagConstants.h"
#include "engine/DownloadImages.h"

namespace corvanetov {

uint32_t FlashPass::BlockAddress(uint32_t block) const
{
    return start + block * static_cast<uint32_t>(diag::kFlashBlockSize);
}

uint64_t FlashPass::BlockBytes() const
{
    return static_cast<uint64_t>(blocks) * diag::kFlashBlockSize;
}

bool FlashPass::ReadBlock(uint32_t k, uint8_t* block) const
{
    return DownloadImages::ReadBlock(file.get(), fileSize, BlockAddress(k), block, diag::kFlashBlockSize);
}

} // namespace corvanetov
