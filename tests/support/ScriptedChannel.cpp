#include "ScriptedChannel.h"

namespace corvanetov {

ScriptedChannel::ScriptedChannel(ScriptedHandset& handset) : m_handset(handset), m_number(handset.ChannelMade()) {}

bool ScriptedChannel::Open()
{
    m_open = m_handset.Opened();
    return m_open;
}

bool ScriptedChannel::Disconnect()
{
    m_handset.Note(ScriptedHandset::Event::Line, "disconnect");
    m_open = false;
    return DiagChannel::Disconnect();
}

bool ScriptedChannel::Close()
{
    m_handset.Note(ScriptedHandset::Event::Line, "close");
    m_handset.Closed(m_number);
    m_open = false;
    return DiagChannel::Close();
}

bool ScriptedChannel::Write(const uint8_t* bytes, uint32_t count)
{
    if (!m_open)
        return false; // as on a closed port: nothing goes out
    ScriptedHandset::Bytes answer = m_handset.Answer(ScriptedHandset::Bytes(bytes, bytes + count));
    if (!answer.empty())
        OnReceive(answer.data(), static_cast<uint32_t>(answer.size()));
    return true;
}

bool ScriptedChannel::WriteLong(const uint8_t* bytes, uint32_t count)
{
    return Write(bytes, count);
}

} // namespace corvanetov
