#pragma once

#include "comm/Transport.h"

struct addrinfo;

namespace corvanetov {

// A raw TCP link to a network serial server ("host:port", an IPv6 address
// in brackets): the server owns the line settings and its queues.
class NetworkLink : public Transport {
public:
    NetworkLink() = default;
    ~NetworkLink() override;

    bool Open(const std::string& hostAndPort) override;
    // The second half of Open: the addresses in the order the resolver gave
    // them, each tried until one answers (a name may resolve to an address
    // that nothing serves, as "localhost" to ::1 first). name is what the
    // user gave, for the error.
    bool Connect(const addrinfo* addresses, const std::string& name);

    bool Configure(const LineSettings& settings) override;
    ReadResult Read(uint8_t* buffer, size_t max, size_t& count) override;
    bool Write(const uint8_t* data, size_t count, Clock::time_point deadline, bool (*abandon)()) override;
    bool Drain(Clock::time_point deadline, bool (*abandon)()) override;
    void Discard() override;
    void Close() override;
    int Descriptor() const override { return m_fd; }

private:
    // One address: connected within the time-out, or closed again.
    bool ConnectTo(const addrinfo& address);

    int m_fd = -1;
};

} // namespace corvanetov
