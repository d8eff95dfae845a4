#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "comm/CommConstants.h"
#include "comm/TracedBytes.h"
#include "comm/Transport.h"

namespace corvanetov {

class ManualEvent;

// The serial channel to the handset: one COM port, the writes, and a receive
// thread that hands every received chunk to OnReceive. What the chunks mean
// is the business of the protocol above (DiagChannel); a bare channel drops
// them.
class BaseComm {
public:
    BaseComm() = default;
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
    // Runs on the receive thread for every chunk that Read returned.
    virtual void OnReceive(const uint8_t* chunk, uint32_t count);
    virtual bool ReopenAt9600(uint8_t port);
    virtual bool ReopenAt115200(uint8_t port);

    void CreateResponseEvent(int index);
    std::string ResponseEventName() const;

    // The next write carries a secret (a code, a lock code) after its first
    // `visible` bytes, leading flags not counted: its trace shows only
    // those (TracedBytes).
    void MaskNextTrace(size_t visible) { m_nextTraceVisible = visible; }

    bool IsConnected() const { return m_connected != 0; }
    bool LineLost() const { return m_lineLost; }
    uint8_t PortNumber() const { return m_port; }
    uint32_t BaudRate() const { return m_baud; }
    uint32_t ReceiveBaud() const { return m_receiveBaud; }
    // Why the last Open failed, for the user, and the system's error number
    // behind it (ENXIO for a COM number that names no device, 0 when none).
    const std::string& OpenError() const { return m_openError; }
    int OpenErrorNumber() const { return m_openErrorNumber; }

protected:
    // Tells the waiting engine thread that a response is ready.
    void SignalResponse();
    // Forgets a response not yet taken: what came before a request went out
    // cannot be its answer.
    void ForgetResponse();
    // Whether received bytes end the way a whole answer ends, so that the
    // receive thread hands them over without waiting for more. A bare
    // channel knows no answers: yes.
    virtual bool ChunkLooksWhole(const uint8_t* chunk, uint32_t count) const;

private:
    void ReceiveLoop();
    uint32_t ReadBatch(uint8_t* buffer, uint32_t maxCount);
    bool WriteTraced(const uint8_t* bytes, uint32_t count, bool longTrace);
    void TraceWrite(const uint8_t* bytes, uint32_t count, bool longTrace, size_t visible);
    bool Reopen(uint8_t port, uint32_t baud, uint32_t pauseMs);
    void MarkLineLost();
    bool FailOpen(const std::string& reason, int errorNumber);

    std::shared_ptr<ManualEvent> m_responseEvent;
    std::unique_ptr<Transport> m_link; // the kind of the port's last open
    std::atomic<int> m_connected{0};
    std::atomic<bool> m_lineLost{false};
    std::atomic<uint32_t> m_receiveBaud{comm::kInitialReceiveBaud};

    uint8_t m_port = 1;
    uint8_t m_byteSize = 0;
    uint32_t m_baud = 0;
    uint8_t m_parity = 0;
    uint8_t m_stopBits = 0;
    int m_wakeFd = -1; // the I/O event: wakes the receive thread on Disconnect
    std::string m_responseEventName;
    std::string m_openError;
    int m_openErrorNumber = 0;
    size_t m_nextTraceVisible = TracedBytes::kAllVisible;
    std::thread m_receiveThread;
};

} // namespace corvanetov
