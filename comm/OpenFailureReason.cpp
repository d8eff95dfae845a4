#include "comm/OpenFailureReason.h"

#include <cerrno>

#include "comm/BaseComm.h"

namespace corvanetov {

namespace {
constexpr char kBusyAdvice[] = "Another program holds the port: close it. ModemManager probes handsets; "
                               "the udev rule from the README keeps it away.";
constexpr char kDeniedAdvice[] = "You may not open the port: install the udev rule from the README, "
                                 "or join the dialout group.";
constexpr char kAbsentAdvice[] = "Plug the handset in, or choose the port it is on.";

const char* Advice(int errorNumber)
{
    switch (errorNumber) {
    case EBUSY:
    case EWOULDBLOCK:
        return kBusyAdvice;
    case EACCES:
    case EPERM:
        return kDeniedAdvice;
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return kAbsentAdvice;
    default:
        return nullptr;
    }
}
} // namespace

std::vector<std::string> OpenFailureReason::Lines(const BaseComm& channel)
{
    return Lines(channel.OpenError(), channel.OpenErrorNumber());
}

std::vector<std::string> OpenFailureReason::Lines(const std::string& error, int errorNumber)
{
    if (error.empty())
        return {};
    std::vector<std::string> lines{error};
    if (const char* advice = Advice(errorNumber))
        lines.emplace_back(advice);
    return lines;
}

std::string OpenFailureReason::Text(const BaseComm& channel)
{
    std::string text;
    for (const std::string& line : Lines(channel))
        text += (text.empty() ? "" : "\n") + line;
    return text;
}

} // namespace corvanetov
