#pragma once

#include <string>

// The by-id link must not outlive the handset: a tool that follows a stale
// one opens whatever terminal gets that number next. An orderly end removes
// it with the transport; this removes it where no destructor runs, on a
// fatal signal or an exception that nothing caught, and only while it still
// points at this handset's device.
class LinkRemover {
public:
    static void Arm(const std::string& link, const std::string& device);

private:
    static void RemoveLink();
    static void OnFatalSignal(int signal);
    [[noreturn]] static void OnTerminate();
};
