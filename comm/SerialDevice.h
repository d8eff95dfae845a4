#pragma once

#include <termios.h>

#include "comm/Transport.h"

namespace corvanetov {

// A serial line: a termios device, opened exclusively, set raw, and given
// back as it was found. The line settings found at the open are restored at
// the close by the descriptor that opened the device (or the one it handed
// that duty to, HandOverTo), so that the program that uses the line next
// finds its own settings, whatever this one did to them.
class SerialDevice : public Transport {
public:
    SerialDevice() = default;
    ~SerialDevice() override;

    // Through the calling thread's port hold while one lasts (PortHold).
    bool Open(const std::string& path) override;
    // The device itself, exclusively.
    bool OpenSerial(const std::string& path);
    // A second descriptor of the device that keeper has open: the same lock,
    // and the keeper's exclusive flag and saved settings, which this one
    // leaves alone.
    bool OpenShared(const SerialDevice& keeper);
    // Gives keeper a second descriptor of this device and the duties to
    // clear its exclusive flag and to restore its settings, so the device
    // stays exclusive while keeper has it open, whatever this one does.
    // Without a descriptor to spare, keeper stays closed and this one keeps
    // the duties.
    void HandOverTo(SerialDevice& keeper);

    // Raw bytes at these settings, no flow control of either kind, modem
    // lines down, stale input dropped; read back to be sure the driver took
    // them.
    bool Configure(const LineSettings& settings) override;
    ReadResult Read(uint8_t* buffer, size_t max, size_t& count) override;
    bool Write(const uint8_t* data, size_t count, Clock::time_point deadline, bool (*abandon)()) override;
    bool Drain(Clock::time_point deadline, bool (*abandon)()) override;
    void Discard() override;
    void Close() override;
    int Descriptor() const override { return m_fd; }

    // The other end has hung up: a pulled cable, a device that left the bus.
    bool LineGone() const;

private:
    bool FailWith(const std::string& what);
    void ClearModemLines();
    // Bytes written but not yet sent; 0 where the device keeps no queue.
    int QueuedOutput() const;

    int m_fd = -1;
    bool m_exclusive = false; // this descriptor clears the terminal's exclusive flag when it closes
    bool m_restore = false;   // ... and puts m_found back
    termios m_found{};        // the settings the line had when it was opened
    uint32_t m_baud = 0;      // of the line settings, for the time the transmit queue needs
};

} // namespace corvanetov
