#include "engine/OperationContext.h"

#include "platform/Pacing.h"

namespace corvanetov {

OperationContext& OperationContext::Instance()
{
    static OperationContext context;
    return context;
}

OperationContext::OperationContext()
{
    m_exchange.SetEventErrorHandler([this](const std::string& text) {
        SetErrorText(text);
        if (Prompts* prompts = GetPrompts())
            prompts->ShowMessage(text, "", Prompts::Style::Ok, Prompts::Icon::Warning);
    });
}

OperationContext::~OperationContext() = default;

std::string OperationContext::ErrorText() const
{
    std::lock_guard lock(m_mutex);
    return m_errorText;
}

void OperationContext::SetErrorText(const std::string& text)
{
    std::lock_guard lock(m_mutex);
    m_errorText = text;
}

void OperationContext::SetOperationState(int state)
{
    if (m_state.exchange(state) == state)
        return;
    std::lock_guard lock(m_listenerMutex);
    for (const auto& [owner, listener] : m_stateListeners)
        listener(state);
}

void OperationContext::AddStateListener(const void* owner, StateListener listener)
{
    std::lock_guard lock(m_listenerMutex);
    m_stateListeners.emplace_back(owner, std::move(listener));
}

void OperationContext::RemoveStateListener(const void* owner)
{
    std::lock_guard lock(m_listenerMutex);
    std::erase_if(m_stateListeners, [owner](const auto& entry) { return entry.first == owner; });
}

void OperationContext::SetTarget(OperationSink* sink)
{
    std::lock_guard lock(m_mutex);
    m_target = sink;
}

OperationSink* OperationContext::Target() const
{
    std::lock_guard lock(m_mutex);
    return m_target;
}

void OperationContext::SetPrompts(Prompts* prompts)
{
    std::lock_guard lock(m_mutex);
    m_prompts = prompts;
}

Prompts* OperationContext::GetPrompts() const
{
    std::lock_guard lock(m_mutex);
    return m_prompts;
}

void OperationContext::SendOperationMessage(const OperationMessage& message)
{
    OperationSink* target = nullptr;
    {
        std::lock_guard lock(m_mutex);
        if (m_awaitedEnd && m_awaitedEnd->number == message.number
            && m_awaitedEnd->RoleOf(message.kind) == OperationFamily::Role::End)
            m_awaitedEnd.reset();
        target = m_target;
    }
    if (!target || Pacing::Instance().StopRequested())
        return;
    target->OnOperationMessage(message);
}

void OperationContext::AwaitEndOf(const OperationFamily* family)
{
    std::lock_guard lock(m_mutex);
    m_awaitedEnd.reset();
    if (family)
        m_awaitedEnd = *family;
}

void OperationContext::FailUnended(const std::string& text)
{
    std::optional<OperationFamily> family;
    {
        std::lock_guard lock(m_mutex);
        family.swap(m_awaitedEnd);
    }
    if (!family)
        return;
    SetErrorText(text);
    SendOperationMessage({family->number, 0, family->endKind, 0, text, OperationMessage::Outcome::Failed});
}

void OperationContext::SetChannelFactory(ChannelFactory factory)
{
    std::unique_ptr<DiagChannel> old;
    std::lock_guard lock(m_mutex);
    old = DetachChannel(); // a channel may depend on what made it: it goes with its factory
    m_channelFactory = std::move(factory);
}

std::unique_ptr<DiagChannel> OperationContext::DetachChannel()
{
    std::unique_ptr<DiagChannel> old = std::move(m_channel);
    if (old)
        old->Close();
    return old;
}

DiagChannel* OperationContext::Channel() const
{
    std::lock_guard lock(m_mutex);
    return m_channel.get();
}

DiagChannel& OperationContext::ReplaceChannel()
{
    std::unique_ptr<DiagChannel> old;
    std::lock_guard lock(m_mutex);
    old = DetachChannel(); // released after the lock, its receive thread already ended
    m_channel = m_channelFactory ? m_channelFactory() : std::make_unique<DiagChannel>();
    return *m_channel;
}

bool OperationContext::Transact(const std::function<void(DiagChannel&)>& send, const Exchange::Params& params)
{
    DiagChannel* channel = Channel();
    if (!channel)
        return false;
    return m_exchange.Transact(*channel, [&] { send(*channel); }, params);
}

bool OperationContext::AwaitAnswer(const Exchange::Params& params)
{
    DiagChannel* channel = Channel();
    return channel && m_exchange.AwaitAnswer(*channel, params);
}

void OperationContext::CloseChannel()
{
    if (DiagChannel* channel = Channel())
        channel->Close();
}

std::string OperationContext::EsnText() const
{
    std::lock_guard lock(m_mutex);
    return m_esn;
}

void OperationContext::SetEsnText(const std::string& text)
{
    std::lock_guard lock(m_mutex);
    m_esn = text;
    ++m_identifications;
}

uint64_t OperationContext::Identifications() const
{
    std::lock_guard lock(m_mutex);
    return m_identifications;
}

#define CONTEXT_TEXT(Getter, Setter, member)                 \
    std::string OperationContext::Getter() const             \
    {                                                        \
        std::lock_guard lock(m_mutex);                       \
        return member;                                       \
    }                                                        \
    void OperationContext::Setter(const std::string& text)   \
    {                                                        \
        std::lock_guard lock(m_mutex);                       \
        member = text;                                       \
    }

CONTEXT_TEXT(PhoneNumberText, SetPhoneNumberText, m_phone)
CONTEXT_TEXT(SoftwareVersionText, SetSoftwareVersionText, m_software)
CONTEXT_TEXT(ReleaseText, SetReleaseText, m_release)
CONTEXT_TEXT(HardwareVersionText, SetHardwareVersionText, m_hardware)
CONTEXT_TEXT(MslCode, SetMslCode, m_mslCode)
CONTEXT_TEXT(HandsetSlot, SetHandsetSlot, m_slot)

#undef CONTEXT_TEXT

} // namespace corvanetov
