#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "comm/CommConstants.h"
#include "comm/SerialDevice.h"

class ManualEvent;

// The serial channel to the handset: one COM port, a receive thread that
// assembles frames, and the senders of frames and raw byte strings.
class BaseComm {
public:
    BaseComm();
    BaseComm(const BaseComm&) = delete;
    BaseComm& operator=(const BaseComm&) = delete;
    virtual ~BaseComm();

    virtual void Configure(uint8_t port, uint32_t baud, uint8_t byteSize, uint8_t stopBits, uint8_t parity);
    virtual bool CreateIoEvents();
    virtual bool Close();
    virtual uint32_t Read(uint8_t* buffer, uint32_t maxCount);
    virtual bool Write(const uint8_t* bytes, uint32_t count);
    virtual bool WriteLong(const uint8_t* bytes, uint32_t count);
    virtual bool Open();
    virtual bool ApplyLineSettings();
    virtual bool Disconnect();
    virtual void OnReceive(const uint8_t* chunk, uint32_t count);
    virtual bool ReopenAt9600(uint8_t port);
    virtual bool ReopenAt115200(uint8_t port);
    virtual void SendBootCommand(int code);
    virtual void SendFrame(const uint8_t* bytes, uint16_t count);
    virtual void SendLargeFrame(const uint8_t* bytes, uint16_t count);
    virtual bool EscapeByte(uint8_t& out, uint8_t in);
    virtual void DecodeFlagged(uint8_t* destination, int32_t count);
    virtual void DecodePlain(uint8_t* destination, uint16_t count);
    // Copies the last response (received length's worth); returns the count.
    virtual uint32_t CopyResponse(uint8_t* destination);

    void CreateResponseEvent(int index);
    std::string ResponseEventName() const;
    void SendRaw(const uint8_t* bytes, uint16_t count, uint8_t escape);
    void SetLeadFlag(int value) { m_lead7F = value; }

    // The next write carries a secret (MSL code, password): its trace shows
    // only the command byte.
    void MaskNextTrace() { m_maskNextTrace = true; }
    void SetLeadingFlagMode(uint16_t mode) { m_leadingFlagMode = mode; }

    bool IsConnected() const { return m_connected != 0; }
    bool LineLost() const { return m_lineLost; }
    uint8_t PortNumber() const { return m_port; }
    uint32_t BaudRate() const { return m_baud; }
    uint32_t ReceiveBaud() const { return m_receiveBaud; }
    // Why the last Open failed, for the user, and the system's error number
    // behind it (ENXIO for a COM number that names no device, 0 when none).
    const std::string& OpenError() const { return m_openError; }
    int OpenErrorNumber() const { return m_openErrorNumber; }

    // Receive-side state, read from the engine thread under the channel's lock.
    uint32_t ReceivedLength() const;
    uint32_t CopyFrame(uint8_t* destination) const;
    std::string AccumulatedText() const;
    void ClearAccumulation();

private:
    void ReceiveLoop();
    void SignalResponse();
    void ClearReceiveBuffers();
    bool WriteTraced(const uint8_t* bytes, uint32_t count, bool longTrace);
    void TraceWrite(const uint8_t* bytes, uint32_t count, bool longTrace, bool masked);
    bool Reopen(uint8_t port, uint32_t baud, uint32_t pauseMs);
    bool FailOpen(const std::string& reason, int errorNumber);
    void UnescapeFrame(uint8_t* destination, size_t count) const;

    std::shared_ptr<ManualEvent> m_responseEvent;
    SerialDevice m_device;
    std::atomic<int> m_connected{0};
    std::atomic<bool> m_lineLost{false};
    std::atomic<uint16_t> m_leadingFlagMode{0};
    std::atomic<uint32_t> m_receiveBaud{comm::kInitialReceiveBaud};

    mutable std::mutex m_receiveMutex; // guards the buffers below
    uint32_t m_receivedLength = 0;
    std::array<uint8_t, comm::kBufferSize> m_response{};
    std::array<uint8_t, comm::kBufferSize> m_frame{};
    std::array<uint8_t, comm::kBufferSize> m_accumulation{};
    uint32_t m_accumulatedLength = 0;
    int m_decodeRejected = 0;

    uint8_t m_port = 1;
    uint8_t m_byteSize = 0;
    uint32_t m_baud = 0;
    uint8_t m_parity = 0;
    uint8_t m_stopBits = 0;
    int m_wakeFd = -1; // the I/O event: wakes the receive thread on Disconnect
    std::atomic<int> m_lead7F{1};
    std::string m_responseEventName;
    std::string m_openError;
    int m_openErrorNumber = 0;
    std::vector<uint8_t> m_largeFrame;
    bool m_maskNextTrace = false;
    std::thread m_receiveThread;
};
