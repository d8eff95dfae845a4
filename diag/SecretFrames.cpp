#include "diag/SecretFrames.h"

#include <algorithm>
#include <iterator>

#include "comm/TracedBytes.h"
#include "diag/DiagConstants.h"

namespace corvanetov {

namespace {
constexpr size_t kCommandBytes = 1;
constexpr size_t kNvItemHead = 3; // command, item number (little-endian)

bool HoldsLockCode(const uint8_t* frame, size_t count)
{
    if (count < kNvItemHead)
        return false;
    const uint16_t item = static_cast<uint16_t>(frame[1] | frame[2] << 8);
    return std::find(std::begin(diag::kLockCodeItems), std::end(diag::kLockCodeItems), item) != std::end(diag::kLockCodeItems);
}
} // namespace

size_t SecretFrames::Visible(const uint8_t* frame, size_t count)
{
    if (count == 0)
        return TracedBytes::kAllVisible;
    switch (frame[0]) {
    case diag::kCmdSpc:
    case diag::kCmdPassword:
        return kCommandBytes;
    case diag::kCmdNvRead:
    case diag::kCmdNvWrite:
        return HoldsLockCode(frame, count) ? kNvItemHead : TracedBytes::kAllVisible;
    case diag::kCmdBadCommand:
    case diag::kCmdBadParameters:
    case diag::kCmdBadLength: {
        const size_t echoed = Visible(frame + 1, count - 1);
        return echoed == TracedBytes::kAllVisible ? echoed : kCommandBytes + echoed;
    }
    default:
        return TracedBytes::kAllVisible;
    }
}

} // namespace corvanetov
