#pragma once

#include <cstdint>
#include <vector>

#include "diag/FrameCodec.h"

namespace corvanetov {

// An answer as the handset puts it on the line: escaped, with its check
// sequence and closing flag, after a leading flag where asked.
inline std::vector<uint8_t> AnswerFrame(const std::vector<uint8_t>& answer, bool leadingFlag = false)
{
    std::vector<uint8_t> frame;
    FrameCodec::EncodeFrame(answer.data(), answer.size(), leadingFlag, false, frame);
    return frame;
}

} // namespace corvanetov
