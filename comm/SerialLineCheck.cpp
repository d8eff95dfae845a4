#include "comm/SerialLineCheck.h"

#include <cerrno>
#include <termios.h>

#include "comm/OpenFailureReason.h"
#include "comm/SerialDevice.h"

namespace corvanetov {

namespace {
constexpr char kNotSerial[] = ": not a serial device";
}

std::vector<std::string> SerialLineCheck::WhyNot(const std::string& path)
{
    SerialDevice device;
    if (!device.OpenSerial(path))
        return OpenFailureReason::Lines(device.LastError(), device.LastErrorNumber());
    termios settings{};
    if (::tcgetattr(device.Descriptor(), &settings) != 0)
        return {path + kNotSerial};
    return {};
}

} // namespace corvanetov
