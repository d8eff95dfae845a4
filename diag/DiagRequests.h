#pragma once

#include <cstdint>
#include <string>

class BaseComm;

// The basic diagnostic requests: their bytes and how each is sent. The
// builders set the channel's leading-flag mode to plain; the unlock requests
// keep whatever mode the channel has.
class DiagRequests {
public:
    static void VersionRequest(BaseComm& channel);
    static void StatusRequest(BaseComm& channel);
    static void NvReadRequest(BaseComm& channel, uint16_t item);
    // The data of items 82, 2071 and 2073 comes from the settings image;
    // item 408 is written as zeros.
    static void NvWriteRequest(BaseComm& channel, uint16_t item, const uint8_t* settingsImage);
    static void ModeControlRequest(BaseComm& channel, uint16_t mode);
    static void SpcRequest(BaseComm& channel, const std::string& mslCode);
    static void DmModeRequest(BaseComm& channel);
    static void PasswordRequest(BaseComm& channel);
    static void DmSwitchCommand(BaseComm& channel);

    // "AT$QCDMG": up to 3 attempts of sending it and looking for "OK" among
    // the received bytes. True when the handset answered.
    static bool DmSwitchExchange(BaseComm& channel);
};
