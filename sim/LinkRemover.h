#pragma once

#include <string>
#include <vector>

// The by-id and by-path links must not outlive the handset: a tool that follows a stale
// one opens whatever terminal gets that number next. An orderly end removes
// them with the transport; this removes them where no destructor runs, on a
// fatal signal or an exception that nothing caught, each only while it
// still points at this handset's device.
class LinkRemover {
public:
    static void Arm(const std::vector<std::string>& links, const std::string& device);

private:
    static void RemoveLinks();
    static void OnFatalSignal(int signal);
    [[noreturn]] static void OnTerminate();
};
