#pragma once

#include <string>

namespace corvanetov {

// Another program on a serial device, holding it as terminal programs do:
// flock and the exclusive flag while it has it, and the device left as it
// was found when it goes. Held() tells whether it got the device.
class PortHolder {
public:
    explicit PortHolder(const std::string& devicePath);
    ~PortHolder();
    PortHolder(const PortHolder&) = delete;
    PortHolder& operator=(const PortHolder&) = delete;

    bool Held() const { return m_fd >= 0; }
    // errno's text for a device not got.
    const std::string& Refusal() const { return m_refusal; }

private:
    int m_fd = -1;
    std::string m_refusal;
};

} // namespace corvanetov
