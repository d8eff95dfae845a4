#pragma once

#include <string>
#include <vector>

namespace corvanetov {

// Whether a path is a serial line the channel can use, found by opening it
// as the channel does (exclusively, waiting a moment for udev's access)
// and asking it for its line settings.
class SerialLineCheck {
public:
    // Empty when path opens as a serial line; else why not, in the
    // system's words, and what to do about it (OpenFailureReason's lines).
    static std::vector<std::string> WhyNot(const std::string& path);
};

} // namespace corvanetov
