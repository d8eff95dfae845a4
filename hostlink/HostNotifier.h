#pragma once

#include <mutex>
#include <string>

#include "hostlink/PluginAbi.h"

namespace corvanetov {

// Where the module's host notification messages go: the callback the host
// registered when it loaded the module. Without a host (the command-line
// tool, tests) the messages go nowhere.
class HostNotifier {
public:
    static HostNotifier& Instance();

    void SetCallback(HostMessageCallback callback, void* context);
    // Sends the host notification message with one of the status bar lines
    // (PluginAbi::HostLine). Synchronous: the host has shown the text when
    // this returns.
    void Send(int line, const std::string& text) const;

private:
    HostNotifier() = default;

    mutable std::mutex m_mutex;
    HostMessageCallback m_callback = nullptr;
    void* m_context = nullptr;
};

} // namespace corvanetov
