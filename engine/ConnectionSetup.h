#pragma once

#include <functional>

namespace corvanetov::detail {

// How every phone operation begins and how its conversation with the
// handset ends: a fresh channel on the selected port, the handset switched
// to diagnostic mode and identified, unlocked with the MSL code or the fixed
// password; at the end, reset requests. Failures leave their text in the
// operation context's error text.
class ConnectionSetup {
public:
    static bool InitComPort();
    static bool ConnectAndIdentify();
    static bool RequestMsl();
    static bool UnlockWithMsl();
    // After a 1000 ms pause, `requests` reset requests 1000 ms apart; no
    // answer is awaited. announce runs just before the first request. False
    // when a stop cut it short.
    static bool ResetHandset(int requests, const std::function<void()>& announce = {});

    static void ParseStatusResponse();
    static void ParseVersionResponse();

private:
    static bool SwitchToDiagnosticMode();
    static bool ReadHardwareVersion();
    static void ResetAndDisconnect();
    static bool Fail(const char* text);
};

} // namespace corvanetov::detail
