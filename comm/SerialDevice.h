#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace corvanetov {

// The POSIX side of one COM device: a termios serial line, or a raw TCP link
// to a network serial server. Opening is exclusive.
class SerialDevice {
public:
    enum class ReadResult { Data, Empty, Lost };

    SerialDevice() = default;
    SerialDevice(const SerialDevice&) = delete;
    SerialDevice& operator=(const SerialDevice&) = delete;
    ~SerialDevice();

    bool OpenSerial(const std::string& path);
    bool OpenNetwork(const std::string& hostAndPort);
    // A second descriptor of the device that keeper has open: the same lock,
    // and the keeper's exclusive flag, which this one leaves alone.
    bool OpenShared(const SerialDevice& keeper);
    // Gives keeper a second descriptor of this device and the duty to clear
    // its exclusive flag, so the device stays exclusive while keeper has it
    // open, whatever this one does. Without a descriptor to spare, keeper
    // stays closed and this one keeps the duty.
    void HandOverTo(SerialDevice& keeper);
    void Close();

    bool IsOpen() const { return m_fd >= 0; }
    // The other end has hung up: a pulled cable, a device that left the bus.
    bool LineGone() const;
    int Descriptor() const { return m_fd; }
    const std::string& LastError() const { return m_lastError; }
    // The system's error number behind LastError.
    int LastErrorNumber() const { return m_lastErrorNumber; }

    bool ApplyLineSettings(uint32_t baud, uint8_t byteSize, uint8_t parity, uint8_t stopBits);
    void ClearDtr();
    // Clears the input queue; with `output` also what was written but not
    // yet sent (on a pseudo-terminal: not yet read by the other side).
    void Purge(bool output);

    // Non-blocking: what waits in the input queue, up to max.
    ReadResult Read(uint8_t* buffer, size_t max, size_t& count);
    // Blocking write of all bytes, returning once they have left the
    // device's transmit queue; bounded by timeoutMs (real time) for both,
    // and given up when abandon() turns true.
    bool WriteAll(const uint8_t* data, size_t count, uint32_t timeoutMs, bool (*abandon)());

private:
    bool FailWith(const std::string& what);
    // Bytes written but not yet sent; 0 where the device keeps no queue.
    int QueuedOutput() const;

    int m_fd = -1;
    bool m_isSocket = false;
    bool m_exclusive = false; // this descriptor clears the terminal's exclusive flag when it closes
    uint32_t m_baud = 0;      // of the line settings, for the time the transmit queue needs
    std::string m_lastError;
    int m_lastErrorNumber = 0;
};

} // namespace corvanetov
