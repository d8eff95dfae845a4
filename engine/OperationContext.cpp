#include "engine/OperationContext.h"

#include "comm/BaseComm.h"
#include "platform/Pacing.h"

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
            prompts->ShowMessage(text, "", Prompts::Style::Ok, Prompts::Icon::None);
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

void OperationContext::SendOperationMessage(int number, int32_t param, int32_t kind, int32_t value, const std::string& text)
{
    OperationSink* target = Target();
    if (!target || Pacing::Instance().StopRequested())
        return;
    target->OnOperationMessage(OperationMessage{number, param, kind, value, text});
}

BaseComm* OperationContext::Channel() const
{
    std::lock_guard lock(m_mutex);
    return m_channel.get();
}

BaseComm& OperationContext::ReplaceChannel()
{
    std::unique_ptr<BaseComm> old;
    std::lock_guard lock(m_mutex);
    old = std::move(m_channel); // closed by its destructor, after its receive thread ended
    if (old)
        old->Close();
    m_channel = std::make_unique<BaseComm>();
    return *m_channel;
}

void OperationContext::CloseChannel()
{
    if (BaseComm* channel = Channel())
        channel->Close();
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

CONTEXT_TEXT(EsnText, SetEsnText, m_esn)
CONTEXT_TEXT(PhoneNumberText, SetPhoneNumberText, m_phone)
CONTEXT_TEXT(SoftwareVersionText, SetSoftwareVersionText, m_software)
CONTEXT_TEXT(HardwareVersionText, SetHardwareVersionText, m_hardware)
CONTEXT_TEXT(MslCode, SetMslCode, m_mslCode)

#undef CONTEXT_TEXT
