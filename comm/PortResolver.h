#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

namespace corvanetov {

// Turns a COM port number into what the channel opens: a device path for
// ports 1 to 128, "host:port" of the network serial link above 128. The
// front ends install the port table; until then nothing resolves.
class PortResolver {
public:
    using Function = std::function<std::string(uint8_t port)>;

    static PortResolver& Instance();
    // "COM%d": what the user calls the port.
    static std::string ComName(uint8_t port);

    void Set(Function resolve);
    std::string Resolve(uint8_t port) const;

private:
    mutable std::mutex m_mutex;
    Function m_resolve;
};

} // namespace corvanetov
