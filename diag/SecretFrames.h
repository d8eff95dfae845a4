#pragma once

#include <cstddef>
#include <cstdint>

namespace corvanetov {

// Which frames carry a secret, and how much of one the trace may show: the
// MSL code and the password after their command byte, the lock codes (NV
// items 82 and 2071) after the command and the item number, in a request and
// in its answer alike, and in an error answer that echoes such a request.
class SecretFrames {
public:
    // The bytes at the front of frame (its flags taken off) that say what
    // it is; every byte after them is secret. kAllVisible when none is.
    static size_t Visible(const uint8_t* frame, size_t count);
};

} // namespace corvanetov
