#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "comm/BaseComm.h"
#include "diag/DiagConstants.h"

namespace corvanetov {

// The serial channel as the diagnostic protocol uses it: requests go out as
// frames, each forgetting a response not yet taken, and the chunks the
// receive thread hands over are collected until a frame ends, stripped of
// their flags, checked and decoded (or kept as they came in the 9600-baud raw
// receive mode) and announced on the response event.
class DiagChannel : public BaseComm {
public:
    DiagChannel();
    ~DiagChannel() override;

    void OnReceive(const uint8_t* chunk, uint32_t count) override;

    void SendFrame(const uint8_t* bytes, uint16_t count);
    void SendLargeFrame(const uint8_t* bytes, uint16_t count);
    // The bytes unframed; escaped when escape is 1. At most 255 bytes go out.
    void SendRaw(const uint8_t* bytes, uint16_t count, uint8_t escape);
    // Boot commands 1, 2 and 5 of the rebuild; other codes send nothing.
    void SendBootCommand(int code);

    void SetLeadFlag(int value) { m_lead7F = value; }
    void SetLeadingFlagMode(uint16_t mode) { m_leadingFlagMode = mode; }
    bool RawReceiveMode() const { return ReceiveBaud() == comm::kRawReceiveBaud; }
    // How long the last request takes on the line at its speed: its answer
    // cannot come before that, however short the time scale makes the wait.
    std::chrono::microseconds LastRequestLineTime() const { return m_lastRequestLineTime; }

    // Receive-side state, read from the engine thread under the channel's lock.
    // The last response (received length's worth); returns the count.
    uint32_t CopyResponse(uint8_t* destination) const;
    uint32_t CopyFrame(uint8_t* destination) const;
    uint32_t ReceivedLength() const;
    std::string AccumulatedText() const;
    void ClearAccumulation();

protected:
    // Ends with a closing flag after at least one byte of a frame.
    bool ChunkLooksWhole(const uint8_t* chunk, uint32_t count) const override;

private:
    using Buffer = std::array<uint8_t, diag::kReceiveBufferSize>;

    // Collects the chunk; true when it completed a frame that is to be
    // announced. Called with the receive lock held, as are the three below.
    bool Collect(const uint8_t* chunk, uint32_t count);
    bool CompleteFrame(size_t begin, size_t end);
    bool Deliverable(const uint8_t* frame, uint32_t length) const;
    void UnescapeFrame(uint8_t* destination, size_t count) const;
    void ClearReceiveBuffers();
    // Every request goes out here: what came before it cannot be its answer.
    void Send(const uint8_t* bytes, size_t count, bool large);

    std::atomic<uint16_t> m_leadingFlagMode{0};
    std::atomic<int> m_lead7F{1};
    std::chrono::microseconds m_lastRequestLineTime{0}; // the engine thread's

    mutable std::mutex m_receiveMutex; // guards the buffers below
    uint32_t m_receivedLength = 0;
    Buffer m_response{};
    Buffer m_frame{};
    Buffer m_accumulation{};
    uint32_t m_accumulatedLength = 0;

    std::vector<uint8_t> m_largeFrame;
};

} // namespace corvanetov
