#include "comm/PortHold.h"

namespace corvanetov {

PortHold& PortHold::ForThisThread()
{
    thread_local PortHold hold;
    return hold;
}

void PortHold::End()
{
    m_active = false;
    LetGo();
}

void PortHold::LetGo()
{
    m_path.clear();
    m_held.Close();
}

bool PortHold::OpenSerial(const std::string& path, SerialDevice& device)
{
    if (!m_active)
        return device.OpenSerial(path);
    if (m_held.IsOpen() && (path != m_path || m_held.LineGone()))
        LetGo();
    if (m_held.IsOpen())
        return device.OpenShared(m_held);
    if (!device.OpenSerial(path))
        return false;
    m_path = path;
    device.HandOverTo(m_held);
    return true;
}

} // namespace corvanetov
