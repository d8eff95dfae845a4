#pragma once

#include "comm/PortHold.h"

namespace corvanetov {

// Holds the calling thread's port (PortHold) for as long as it lives, or
// until Release; made and ended on the one thread.
class ScopedPortHold {
public:
    ScopedPortHold() { PortHold::ForThisThread().Begin(); }
    ~ScopedPortHold() { Release(); }
    ScopedPortHold(const ScopedPortHold&) = delete;
    ScopedPortHold& operator=(const ScopedPortHold&) = delete;

    // PortHold::LetGo while holding.
    void LetGo()
    {
        if (m_holding)
            PortHold::ForThisThread().LetGo();
    }

    void Release()
    {
        if (!m_holding)
            return;
        m_holding = false;
        PortHold::ForThisThread().End();
    }

private:
    bool m_holding = true;
};

} // namespace corvanetov
