#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "diag/DiagChannel.h"
#include "diag/Exchange.h"
#include "engine/OperationFamily.h"
#include "engine/OperationSink.h"
#include "engine/Prompts.h"

namespace corvanetov {

class NvDoc;

// The process-wide state that engine operations and views share: the
// operation error text and state, the report target, the channel, the
// selected port, the tool type and the identification texts. One operation
// runs at a time; what two threads touch is atomic or guarded.
class OperationContext {
public:
    // Operation states: which view's operation runs.
    enum State : int { kIdle = 0, kEri = 1, kPhoneInfo = 2, kPrl = 3, kSettings = 4, kSwDownload = 5, kBackup = 6 };

    static OperationContext& Instance();

    std::string ErrorText() const;
    void SetErrorText(const std::string& text);

    int OperationState() const { return m_state; }
    void SetOperationState(int state);
    // Told of every change of the operation state, on the thread that made
    // it, so that views follow it while they are shown. A listener must not
    // call back into the context; its owner removes it before it goes.
    using StateListener = std::function<void(int state)>;
    void AddStateListener(const void* owner, StateListener listener);
    void RemoveStateListener(const void* owner);

    uint8_t SelectedPort() const { return m_selectedPort; }
    void SetSelectedPort(uint8_t port) { m_selectedPort = port; }

    uint8_t ToolType() const { return m_toolType; }
    void SetToolType(uint8_t type) { m_toolType = type; }

    NvDoc* NvDocument() const { return m_nvDoc; }
    void SetNvDocument(NvDoc* doc) { m_nvDoc = doc; }

    // The front ends: where reports go and who answers questions.
    void SetTarget(OperationSink* sink);
    OperationSink* Target() const;
    void SetPrompts(Prompts* prompts);
    Prompts* GetPrompts() const;
    // Delivers one operation message (its text and value travel with it) to
    // the target; dropped once a stop was requested, so a stopped worker
    // reports nothing more.
    void SendOperationMessage(const OperationMessage& message);
    // The family of the operation whose end report has yet to go out: its
    // frame names it, its end report (or null) forgets it. An exception
    // that ends an operation leaves no end report behind; its worker sends
    // one with FailUnended.
    void AwaitEndOf(const OperationFamily* family);
    // The failure end report with this text, on the family still awaiting
    // its end; nothing when none does.
    void FailUnended(const std::string& text);

    // Where channels come from: a real one unless a factory is set (tests
    // set a scripted one). Setting a factory closes and drops the channel
    // made by the one before it.
    using ChannelFactory = std::function<std::unique_ptr<DiagChannel>()>;
    void SetChannelFactory(ChannelFactory factory);

    // The serial channel. ReplaceChannel closes the old one and makes a new,
    // unopened one; CloseChannel closes it (it stays as the channel).
    DiagChannel* Channel() const;
    DiagChannel& ReplaceChannel();
    void CloseChannel();

    // The current response and its copies; "Event Error!" lands in the error
    // text and in a message box.
    Exchange& GetExchange() { return m_exchange; }
    // One exchange (Exchange::Transact) on the current channel; without a
    // channel there is no answer. The answer is then the current response.
    bool Transact(const std::function<void(DiagChannel&)>& send, const Exchange::Params& params);
    // One wait for the answer to what was sent last (Exchange::AwaitAnswer).
    bool AwaitAnswer(const Exchange::Params& params);
    const uint8_t* Answer() const { return m_exchange.CurrentResponse(); }

    // Identification texts, set by connection set-up.
    std::string EsnText() const;
    std::string PhoneNumberText() const;
    std::string SoftwareVersionText() const;
    std::string HardwareVersionText() const;
    // The version as the handset names its software ("B410V01.06"),
    // where the software version text above shows its build date.
    std::string ReleaseText() const;
    void SetReleaseText(const std::string& text);
    void SetEsnText(const std::string& text);
    // How many identifications have set the ESN text so far: what observes
    // an operation (its service record) takes the texts above only from an
    // identification made during it.
    uint64_t Identifications() const;
    void SetPhoneNumberText(const std::string& text);
    void SetSoftwareVersionText(const std::string& text);
    void SetHardwareVersionText(const std::string& text);

    // Where the handset that the last operation claimed sits
    // (DownloadModeNotes::SlotOf, found as it was claimed): its
    // download-mode note's, also once the operation has ended.
    std::string HandsetSlot() const;
    void SetHandsetSlot(const std::string& slot);

    // The MSL code the user typed (at most 6 characters).
    std::string MslCode() const;
    void SetMslCode(const std::string& code);

private:
    OperationContext();
    ~OperationContext();
    // Closes the channel and hands it over; called with m_mutex held.
    std::unique_ptr<DiagChannel> DetachChannel();

    mutable std::mutex m_mutex;
    std::string m_errorText;
    std::atomic<int> m_state{kIdle};
    std::mutex m_listenerMutex; // held while listeners are told, so a removed one is never called
    std::vector<std::pair<const void*, StateListener>> m_stateListeners;
    std::atomic<uint8_t> m_selectedPort{0};
    std::atomic<uint8_t> m_toolType{0};
    std::atomic<NvDoc*> m_nvDoc{nullptr};
    OperationSink* m_target = nullptr;
    Prompts* m_prompts = nullptr;
    std::optional<OperationFamily> m_awaitedEnd;
    ChannelFactory m_channelFactory;
    std::unique_ptr<DiagChannel> m_channel;
    Exchange m_exchange;
    std::string m_esn, m_phone, m_software, m_hardware, m_release;
    uint64_t m_identifications = 0;
    std::string m_slot;
    std::string m_mslCode;
};

// The one operation context, by the short name the engine's steps, the
// views and the tests use.
inline OperationContext& Context()
{
    return OperationContext::Instance();
}

} // namespace corvanetov
