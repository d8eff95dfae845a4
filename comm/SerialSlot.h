#pragma once

#include <map>
#include <string>

namespace corvanetov {

// The USB port a serial device is plugged into, as the by-path folder names
// it (/dev/serial/by-path; CORVANETOV_SERIAL_BY_PATH replaces it): the one
// name of a handset that stays when it restarts into download mode, where
// its by-id name may change and its device name may go to another handset.
class SerialSlot {
public:
    static std::string Folder();
    // Each device (as the kernel names it) and its by-path link.
    static std::map<std::string, std::string> Links();
    // device's by-path link; empty where the system gives none.
    static std::string Of(const std::string& device);
    // Whether path is a link of the by-path folder.
    static bool IsSlot(const std::string& path);
};

} // namespace corvanetov
