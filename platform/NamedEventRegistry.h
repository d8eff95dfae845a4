#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/ManualEvent.h"

namespace corvanetov {

// Process-wide manual-reset events found by name. An event lives while any
// holder keeps it, as a named kernel event does while a handle is open.
class NamedEventRegistry {
public:
    static NamedEventRegistry& Instance();

    // Returns the existing event of that name, or creates it.
    std::shared_ptr<ManualEvent> Create(const std::string& name);
    // Returns the event, or null when nobody holds one of that name.
    std::shared_ptr<ManualEvent> Open(const std::string& name);

private:
    std::mutex m_mutex;
    std::map<std::string, std::weak_ptr<ManualEvent>> m_events;
};

} // namespace corvanetov
