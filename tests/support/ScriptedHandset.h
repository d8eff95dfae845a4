#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "engine/OperationContext.h"
#include "sim/SimConstants.h"

namespace corvanetov {

// A handset on a script, for engine tests without a device or a child
// process. The channels it makes (through the operation context's channel
// factory) answer each request at once: with what the test queued for that
// request — other bytes, or silence — or else with the handset's usual
// answer. Its NV items are kept as the handset keeps them: a read answers
// the item's data, a write stores the data and echoes it. Their opens, requests and closes go to one timeline, together with
// what the test notes there (the engine's pauses, the reports).
class ScriptedHandset {
public:
    using Bytes = std::vector<uint8_t>;
    enum class Event { Line, Pause, Report };

    // The requests that are not frames: "AT$QCDMG" and the boot commands
    // (kBootCommand + the command's code); their answers go out unframed.
    static constexpr int kDmSwitch = sim::kPseudoAt;
    static constexpr int kBootCommand = sim::kPseudoBoot << 4;
    static const Bytes kSilence;

    ScriptedHandset();

    // The answers to the next requests of this kind (a command byte, or
    // kDmSwitch), one each, in order; then the usual answer again.
    void Queue(int request, std::vector<Bytes> answers);
    void SetUsualAnswer(int request, Bytes answer);
    // An NV item's data bytes (at most 128; an item never set reads as zeros).
    void SetNvItem(uint16_t item, const Bytes& data);
    Bytes NvItem(uint16_t item) const;
    // Every open after the first `allowed` ones fails.
    void RefuseOpens(int allowed = 0)
    {
        m_refuseOpens = true;
        m_opensAllowed = allowed;
    }
    OperationContext::ChannelFactory Factory();

    void Note(Event event, const std::string& text);
    std::vector<std::string> Timeline() const;
    // The line alone: opens, requests, disconnects and closes.
    std::vector<std::string> Line() const;
    // The requests with this command byte, unframed, in the order sent.
    std::vector<Bytes> Requests(int command) const;
    // How often Close was called on each channel made, in the order made.
    std::vector<int> ClosesPerChannel() const;
    // The data bytes of every flash block request, in the order sent.
    std::vector<Bytes> Blocks() const;

    // For its channels.
    int ChannelMade();
    bool Opened();
    void Closed(int channel);
    // The bytes the handset sends back for what was written (empty: none).
    Bytes Answer(const Bytes& written);

    // Answers as the handset builds them (the bytes before framing).
    static Bytes StatusAnswer(uint32_t esn, uint32_t min1, uint16_t min2);
    static Bytes VersionAnswer(const std::string& compileDate, const std::string& version, uint8_t modelCode);
    static Bytes NvReadAnswer(uint16_t item, const std::string& data);

private:
    // Called with m_mutex held.
    Bytes AnswerTo(int request, const Bytes& body);
    Bytes NvAnswer(const Bytes& body);
    Bytes AnswerToFrame(const Bytes& body);
    // The boot command these bytes are, or 0.
    static int BootCommandIn(const Bytes& written);

    mutable std::mutex m_mutex;
    std::map<int, std::deque<Bytes>> m_queued;
    std::map<int, Bytes> m_usual;
    std::map<uint16_t, Bytes> m_nv;
    bool m_refuseOpens = false;
    int m_opensAllowed = 0;
    int m_opens = 0;
    std::vector<std::pair<Event, std::string>> m_timeline;
    std::vector<int> m_closes;
    std::vector<Bytes> m_requests;
    std::vector<Bytes> m_blocks;
};

} // namespace corvanetov
