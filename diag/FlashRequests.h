#pragma once

#include <cstdint>

namespace corvanetov {

class DiagChannel;

// The requests of the handset's flash loader, and the one that brings the
// handset into download mode. Each is sent as a large frame with the
// leading-flag mode set, so that its answer is decoded as a flagged frame.
class FlashRequests {
public:
    static void StartRequest(DiagChannel& channel, uint32_t first, uint32_t second);
    static void Start2Request(DiagChannel& channel);
    static void VersionCheckRequest(DiagChannel& channel, uint32_t imageVersion);
    static void CopyRequest(DiagChannel& channel);
    static void ModeRequest(DiagChannel& channel);
    static void JumpRequest(DiagChannel& channel);
    static void EraseRequest(DiagChannel& channel, uint32_t start, uint32_t length);
    // block: the 8192 data bytes.
    static void WriteBlockRequest(DiagChannel& channel, uint32_t address, const uint8_t* block);
    static void DownloadModeRequest(DiagChannel& channel);

    // The bytes of a WriteBlockRequest (8199 of them) into request.
    static void BuildWriteBlock(uint32_t address, const uint8_t* block, uint8_t* request);
};

} // namespace corvanetov
