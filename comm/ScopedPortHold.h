#pragma once

#include "comm/PortHold.h"

namespace corvanetov {

// Holds the calling thread's port (PortHold) for as long as it lives, or
// until Release; made and ended on the one thread.
class ScopedPortHold {
public:
    ScopedPortHold() { m_hold.Begin(); }
    ScopedPortHold(const ScopedPortHold&) = delete;
    ScopedPortHold& operator=(const ScopedPortHold&) = delete;

    // PortHold::LetGo while holding.
    void LetGo()
    {
        if (m_holding)
            m_hold.LetGo();
    }

    void Release()
    {
        m_holding = false;
        m_hold.End();
    }

private:
    bool m_holding = true;
    PortHold m_hold; // ends with the scope
};

} // namespace corvanetov
