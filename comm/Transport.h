#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>

namespace corvanetov {

// One kind of link to a handset, as the channel (BaseComm) uses it: a
// serial line (SerialDevice) or a network link to a serial server
// (NetworkLink). Each is non-blocking underneath and has one descriptor for
// the receive thread to wait on; a new kind of link is one more class of
// this.
class Transport {
public:
    using Clock = std::chrono::steady_clock;
    enum class ReadResult { Data, Empty, Lost };
    struct LineSettings {
        uint32_t baud;
        uint8_t byteSize;
        uint8_t parity;   // 0 none, 1 odd, 2 even
        uint8_t stopBits; // 0 one, 2 two
    };

    Transport() = default;
    Transport(const Transport&) = delete;
    Transport& operator=(const Transport&) = delete;
    virtual ~Transport() = default;

    // Opens the link to target: a device path, or "host:port".
    virtual bool Open(const std::string& target) = 0;
    // Makes the link ready for a conversation at these settings; a link
    // whose far end owns the line settings takes them as they are.
    virtual bool Configure(const LineSettings& settings) = 0;
    // What waits to be read, up to max, without waiting.
    virtual ReadResult Read(uint8_t* buffer, size_t max, size_t& count) = 0;
    // Hands all bytes to the link; false at the deadline, when abandon()
    // turns true, or when the link is lost.
    virtual bool Write(const uint8_t* data, size_t count, Clock::time_point deadline, bool (*abandon)()) = 0;
    // Waits until what was written has left; false at the deadline or when
    // abandon() turns true.
    virtual bool Drain(Clock::time_point deadline, bool (*abandon)()) = 0;
    // Throws away what is still queued either way (a stop: the port is to
    // be free at once).
    virtual void Discard() = 0;
    // Ends the link; what was written is left to go out.
    virtual void Close() = 0;

    virtual int Descriptor() const = 0;
    bool IsOpen() const { return Descriptor() >= 0; }
    // Why the last open or configuration failed, and the system's error
    // number behind it.
    const std::string& LastError() const { return m_lastError; }
    int LastErrorNumber() const { return m_lastErrorNumber; }

protected:
    // Keeps errno's reason for what failed; false.
    bool Failed(const std::string& what);
    // Keeps a reason of the link's own, and the system's error number that
    // comes nearest it; false.
    bool Failed(const std::string& what, const std::string& reason, int errorNumber);
    // Puts some of the bytes on descriptor fd, as write(2) does.
    using Put = ssize_t (*)(int fd, const uint8_t* data, size_t count);
    // Puts all of them, waiting while the descriptor is full (Write).
    static bool WriteWhole(int fd, Put put, const uint8_t* data, size_t count, Clock::time_point deadline,
                           bool (*abandon)());

private:
    std::string m_lastError;
    int m_lastErrorNumber = 0;
};

} // namespace corvanetov
