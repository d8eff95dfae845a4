#pragma once

#include <cstdint>
#include <string>

// How every phone operation begins: a fresh channel on the selected port,
// the handset switched to diagnostic mode and identified, and unlocked with
// the MSL code or the fixed password. Failures leave their text in the
// operation context's error text.
class ConnectionSetup {
public:
    static bool InitComPort();
    static bool ConnectAndIdentify();
    static bool RequestMsl();
    static bool UnlockWithMsl();

    static void ParseStatusResponse();
    static void ParseVersionResponse();
    // The IS-95 MIN as "(AAA) NNN-NNNN"; false (and "") when the MIN is invalid.
    static bool FormatMin(uint32_t min1, uint16_t min2, std::string& out);
    // "%s %c%c%s": version prefix, year letter, month letter, day. The
    // second member is false when the month was not recognised.
    static std::string SoftwareVersion(const std::string& compileDate, const std::string& version, bool& monthKnown);

private:
    static bool SwitchToDiagnosticMode();
    static bool ReadHardwareVersion();
    static void ResetAndDisconnect();
    static bool Fail(const char* text);
};
