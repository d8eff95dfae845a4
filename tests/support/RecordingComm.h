#pragma once

#include <vector>

#include "diag/DiagChannel.h"

namespace corvanetov {

// A channel that records what it would write instead of writing it, so the
// framing can be checked byte for byte without a device; there is nothing
// to open, and what it receives comes through OnReceive.
class RecordingComm : public DiagChannel {
public:
    bool Open() override { return true; }
    bool Write(const uint8_t* bytes, uint32_t count) override
    {
        writes.emplace_back(bytes, bytes + count);
        return true;
    }
    bool WriteLong(const uint8_t* bytes, uint32_t count) override { return Write(bytes, count); }

    std::vector<std::vector<uint8_t>> writes;
};

} // namespace corvanetov
