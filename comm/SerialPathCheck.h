#pragma once

#include <string>

namespace corvanetov {

// Whether a path a user typed names a serial device, before it is given a
// COM number for good: a typing mistake must not use up a number.
class SerialPathCheck {
public:
    // Empty when path is a terminal device (a serial line, a USB adapter, a
    // pseudo-terminal), or a character device this user may not open yet
    // (the open then says why); otherwise why it is none.
    static std::string Refusal(const std::string& path);
};

} // namespace corvanetov
