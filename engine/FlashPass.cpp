#include "engine/FlashPass.h"

#include "diag/DiagConstants.h"

namespace corvanetov {

uint32_t FlashPass::BlockAddress(uint32_t block) const
{
    return start + block * static_cast<uint32_t>(diag::kFlashBlockSize);
}

uint64_t FlashPass::BlockBytes() const
{
    return static_cast<uint64_t>(blocks) * diag::kFlashBlockSize;
}

} // namespace corvanetov
