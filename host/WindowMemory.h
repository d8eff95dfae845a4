#pragma once

namespace corvanetov {

class HostMainWindow;

// The main window's size, place and last active tab, kept per user between
// runs in the same settings file as the plug-ins' store.
class WindowMemory {
public:
    // As the window was last closed; the default size on a first run. Call
    // once the plug-ins' views are in, so that their tab can be found again.
    static void Restore(HostMainWindow& window);
    static void Save(const HostMainWindow& window);
};

} // namespace corvanetov
