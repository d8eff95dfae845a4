#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "ScriptedHandset.h"
#include "TempFolder.h"
#include "comm/DownloadModeNotes.h"
#include "comm/PortResolver.h"
#include "engine/OperationContext.h"
#include "engine/OperationRecorder.h"
#include "engine/Prompts.h"
#include "nv/NvDoc.h"
#include "platform/Pacing.h"

namespace corvanetov {

using Bytes = ScriptedHandset::Bytes;
// A timeline as the scripted handset keeps it, one entry a step.
using Steps = std::vector<std::string>;
inline const Bytes kSilent = ScriptedHandset::kSilence;
inline const std::vector<Bytes> kThreeSilences = {kSilent, kSilent, kSilent};

inline Steps Join(std::initializer_list<Steps> parts)
{
    Steps all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// Answers queued per request (a command byte or ScriptedHandset::kDmSwitch).
using Script = std::vector<std::pair<int, std::vector<ScriptedHandset::Bytes>>>;

// Answers the MSL question with a code and the font dialog with an
// address, or cancels them; keeps the message boxes it was shown.
class AnsweringPrompts : public Prompts {
public:
    struct Shown {
        std::string text;
        Icon icon;
    };
    std::string code = "246810";
    bool cancel = false;
    std::vector<Shown> shown;
    uint32_t fontAddress = 0x2E00000;
    bool cancelFont = false;
    int fontAsked = 0;
    bool AskMslCode(std::string& out) override
    {
        out = code;
        return !cancel;
    }
    bool AskFontStartAddress(uint32_t& out) override
    {
        ++fontAsked;
        out = fontAddress;
        return !cancelFont;
    }
    Answer ShowMessage(const std::string& text, const std::string&, Style, Icon icon) override
    {
        shown.push_back({text, icon});
        return Answer::Ok;
    }
};

// The engine in this thread against a scripted handset. Everything that
// happens goes to the handset's timeline in order: the line ("open",
// "Status", "close"), the pauses and waits ("sleep 200", "wait 1500") and
// the reports ("status Init ComPort", "end Error in ...", "progress 40").
// The recorder lets an operation run on past its end report, so that what
// follows it shows too.
class EngineTest : public ::testing::Test {
protected:

    ScriptedHandset handset;
    NvDoc doc;
    AnsweringPrompts prompts;
    OperationRecorder recorder{OperationRecorder::OnEnd::Continue,
                               [this](const OperationMessage& message, OperationFamily::Role role) { NoteReport(message, role); }};

    void SetUp() override
    {
        auto& context = OperationContext::Instance();
        Pacing::Instance().ClearStop();
        Pacing::Instance().SetObserver([this](Pacing::Pause pause, uint32_t ms) { NotePause(pause, ms); });
        context.SetChannelFactory(handset.Factory());
        context.SetNvDocument(&doc);
        context.SetPrompts(&prompts);
        context.SetTarget(&recorder);
        context.SetSelectedPort(7);
        context.SetToolType(0);
        context.SetErrorText("");
        DownloadModeNotes::Instance().SetFolder({});
    }

    void TearDown() override
    {
        auto& context = OperationContext::Instance();
        Pacing::Instance().SetObserver(nullptr);
        context.SetTarget(nullptr);
        context.SetChannelFactory(nullptr);
        context.SetPrompts(nullptr);
        context.SetNvDocument(nullptr);
        context.SetToolType(0);
        Pacing::Instance().ClearStop();
        if (m_slotted) {
            PortResolver::Instance().Set(nullptr);
            ::unsetenv("CORVANETOV_LOCK_DIR");
        }
    }

    // COM7 opens `device` from now on, in a folder of the test's own where
    // nothing is (the scripted handset answers all the same): the slot that
    // a download-mode note of its handset is kept for. The claims go there
    // too.
    void PutInSlot(const std::string& device)
    {
        ::setenv("CORVANETOV_LOCK_DIR", m_slots.Path().c_str(), 1);
        PortResolver::Instance().Set([path = m_slots.File(device)](uint8_t) { return path; });
        m_slotted = true;
    }
    // The ESN of the note kept for COM7's slot; none without a note.
    static std::optional<std::string> Note() { return DownloadModeNotes::Instance().Find(DownloadModeNotes::SlotOf(7)); }

    // A handset that answers as scripted, for a tool of this type.
    void Prepare(int toolType, const Script& script)
    {
        OperationContext::Instance().SetToolType(static_cast<uint8_t>(toolType));
        for (const auto& [request, answers] : script)
            handset.Queue(request, answers);
    }

    // A stop request as the nth pause or wait of this length begins.
    void StopAt(const std::string& pause, int occurrence = 1)
    {
        m_stopAt = pause;
        m_stopOccurrence = occurrence;
    }

    // The position in the timeline of the pause that the stop came in.
    size_t StopPosition() const { return m_stopPosition; }

    // The timeline from the given position on.
    std::vector<std::string> TimelineFrom(size_t position) const
    {
        auto all = handset.Timeline();
        return std::vector<std::string>(all.begin() + std::min(position, all.size()), all.end());
    }
    size_t TimelineSize() const { return handset.Timeline().size(); }

    static std::string ErrorText() { return OperationContext::Instance().ErrorText(); }

private:
    void NotePause(Pacing::Pause pause, uint32_t ms)
    {
        std::string text = (pause == Pacing::Pause::Sleep ? "sleep " : "wait ") + std::to_string(ms);
        handset.Note(ScriptedHandset::Event::Pause, text);
        if (text == m_stopAt && --m_stopOccurrence == 0) {
            m_stopPosition = TimelineSize() - 1; // the pause just noted
            Pacing::Instance().RequestStop();
        }
    }

    void NoteReport(const OperationMessage& message, OperationFamily::Role role)
    {
        std::string text;
        switch (role) {
        case OperationFamily::Role::Status: text = "status " + message.text; break;
        case OperationFamily::Role::End: text = "end " + message.text; break;
        case OperationFamily::Role::Progress: text = "progress " + std::to_string(message.value); break;
        case OperationFamily::Role::Other: text = "kind " + std::to_string(message.kind); break;
        }
        handset.Note(ScriptedHandset::Event::Report, text);
    }

    TempFolder m_slots;
    bool m_slotted = false;
    std::string m_stopAt;
    int m_stopOccurrence = 0;
    size_t m_stopPosition = static_cast<size_t>(-1);
};

} // namespace corvanetov
