#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace corvanetov {

class DiagChannel;

// The basic diagnostic requests: their bytes and how each is sent. The
// builders set the channel's leading-flag mode to plain; the unlock requests
// keep whatever mode the channel has.
class DiagRequests {
public:
    static void VersionRequest(DiagChannel& channel);
    static void StatusRequest(DiagChannel& channel);
    static void NvReadRequest(DiagChannel& channel, uint16_t item);
    // The item's data bytes (at most 128 are sent), zeros after them.
    static void NvWriteRequest(DiagChannel& channel, uint16_t item, std::span<const uint8_t> data);
    static void ModeControlRequest(DiagChannel& channel, uint16_t mode);
    static void SpcRequest(DiagChannel& channel, const std::string& mslCode);
    static void DmModeRequest(DiagChannel& channel);
    static void PasswordRequest(DiagChannel& channel);
    static void DmSwitchCommand(DiagChannel& channel);
    // One piece of a PRL or ERI file (command kCmdPrlWrite or kCmdEriWrite):
    // at most one piece's bytes are sent; the bit count is theirs.
    static void RoamingDataWriteRequest(DiagChannel& channel, uint8_t command, uint8_t piece, bool more, uint8_t nam,
                                        std::span<const uint8_t> data);

    // "AT$QCDMG": up to 3 attempts of sending it and looking for "OK" among
    // the received bytes. True when the handset answered.
    static bool DmSwitchExchange(DiagChannel& channel);
};

} // namespace corvanetov
