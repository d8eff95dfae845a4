#pragma once

#include <functional>
#include <mutex>
#include <string>

// The host notification message (26000): the status, phone and port lines
// that the host shows in its status area. The module installs the host's
// receiver at load; until then, and in the command-line tool, the lines go
// nowhere. Sent from the user-interface thread; the receiver runs at once.
class HostNotifier {
public:
    using Receiver = std::function<void(int lineCode, const std::string& text)>;

    static HostNotifier& Instance();

    void SetReceiver(Receiver receiver);
    void Send(int lineCode, const std::string& text) const;

private:
    mutable std::mutex m_mutex;
    Receiver m_receiver;
};
