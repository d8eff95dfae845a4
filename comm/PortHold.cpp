#include "comm/PortHold.h"

namespace corvanetov {

namespace {
// Trivially destructible: the C library registers nothing for it.
thread_local PortHold* t_hold = nullptr;
} // namespace

bool PortHold::Open(const std::string& path, SerialDevice& device)
{
    return t_hold ? t_hold->OpenSerial(path, device) : device.OpenSerial(path);
}

bool PortHold::Open(const std::string& hostAndPort, NetworkLink& link)
{
    return t_hold ? t_hold->OpenNetwork(hostAndPort, link) : link.OpenNetwork(hostAndPort);
}

void PortHold::Begin()
{
    if (m_active)
        return;
    m_active = true;
    m_outer = t_hold;
    t_hold = this;
}

void PortHold::End()
{
    if (m_active && t_hold == this)
        t_hold = m_outer;
    m_active = false;
    LetGo();
    m_linkTarget.clear();
    m_heldLink.Close();
}

void PortHold::LetGo()
{
    m_path.clear();
    m_held.Close();
}

bool PortHold::OpenSerial(const std::string& path, SerialDevice& device)
{
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

bool PortHold::OpenNetwork(const std::string& hostAndPort, NetworkLink& link)
{
    if (m_heldLink.IsOpen() && (hostAndPort != m_linkTarget || m_heldLink.LinkGone()))
        m_heldLink.Close();
    if (m_heldLink.IsOpen())
        return link.OpenShared(m_heldLink);
    if (!link.OpenNetwork(hostAndPort))
        return false;
    // Without a descriptor to spare the hold stays empty, and the link is
    // held only as long as this channel has it.
    if (m_heldLink.OpenShared(link))
        m_linkTarget = hostAndPort;
    return true;
}

} // namespace corvanetov
