#pragma once

#include <string>

#include "comm/Transport.h"

struct addrinfo;

namespace corvanetov {

// A raw TCP link to a network serial server ("host:port", an IPv6 address
// in brackets): the server owns the line settings and its queues.
//
// A server such as ser2net serves one client at a time: it accepts a second
// one only to tell it why not ("Port already in use") and to hang up. That
// answer comes at once, before the client has said anything, so a new
// connection listens for a moment before it counts as open, and a refusal
// fails the open with the server's reason rather than passing for a
// handset that does not answer.
class NetworkLink : public Transport {
public:
    NetworkLink() = default;
    ~NetworkLink() override;

    // Through the calling thread's port hold while one lasts (PortHold).
    bool Open(const std::string& hostAndPort) override;
    // A connection of its own to the server.
    bool OpenNetwork(const std::string& hostAndPort);
    // The second half of Open: the addresses in the order the resolver gave
    // them, each tried until one answers (a name may resolve to an address
    // that nothing serves, as "localhost" to ::1 first) and the server
    // takes the client. name is what the user gave, for the error.
    bool Connect(const addrinfo* addresses, const std::string& name);
    // A second descriptor of the connection keeper has open: the server
    // sees one client for as long as either has it.
    bool OpenShared(const NetworkLink& keeper);

    // Drops what the server sent before now: stale input, as a serial line
    // drops it.
    bool Configure(const LineSettings& settings) override;
    ReadResult Read(uint8_t* buffer, size_t max, size_t& count) override;
    bool Write(const uint8_t* data, size_t count, Clock::time_point deadline, bool (*abandon)()) override;
    bool Drain(Clock::time_point deadline, bool (*abandon)()) override;
    void Discard() override;
    void Close() override;
    int Descriptor() const override { return m_fd; }

    // The server has hung up.
    bool LinkGone() const;

    // What ser2net says to a client while another has the port.
    static constexpr char kServerBusy[] = "Port already in use";
    static constexpr char kInUse[] = "The network serial link is in use by another client";

private:
    // One address: connected within the time-out, or closed again.
    bool ConnectTo(const addrinfo& address);
    // Whether the server keeps the new connection: it hangs up at once on
    // a client it refuses, saying why in a line of text. A server that
    // stays silent, or sends what is not text (the handset's bytes), has
    // taken it; nothing it sent is consumed then.
    bool Admitted(const std::string& name);
    // The refusal's words, from the server's text, for the user.
    bool Refused(const std::string& name, const std::string& said);

    int m_fd = -1;
};

} // namespace corvanetov
