#pragma once

#include "diag/DiagChannel.h"

namespace corvanetov {

// The channel with the fuzzer as its line: nothing to open, and the bytes
// arrive through OnReceive as the receive thread would hand them over.
class DeviceFreeChannel : public DiagChannel {
public:
    bool Open() override { return true; }
};

} // namespace corvanetov
