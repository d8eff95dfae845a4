#pragma once

#include "ScriptedHandset.h"
#include "diag/DiagChannel.h"

namespace corvanetov {

// A channel to a ScriptedHandset: no device and no receive thread; what is
// written is answered at once, as if the receive thread had handed the
// answer over.
class ScriptedChannel : public DiagChannel {
public:
    explicit ScriptedChannel(ScriptedHandset& handset);

    bool Open() override;
    bool Disconnect() override;
    bool Close() override;
    bool Write(const uint8_t* bytes, uint32_t count) override;
    bool WriteLong(const uint8_t* bytes, uint32_t count) override;

private:
    ScriptedHandset& m_handset;
    int m_number;
    bool m_open = false;
};

} // namespace corvanetov
