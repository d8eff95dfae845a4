#include "ScriptedHandset.h"

#include <cstdio>
#include <cstring>

#include "ScriptedChannel.h"
#include "diag/FrameCodec.h"

// The handset's side keeps its own numbers, as a real handset would.
namespace {
constexpr uint8_t kVersion = 0x00;
constexpr uint8_t kStatus = 0x0C;
constexpr uint8_t kNvRead = 0x26;
constexpr uint8_t kNvWrite = 0x27;
constexpr uint8_t kModeControl = 0x29;
constexpr uint8_t kSpc = 0x41;
constexpr uint8_t kDmMode = 0x44;
constexpr uint8_t kPassword = 0x46;
constexpr uint16_t kHardwareVersionItem = 2045;
constexpr char kDmSwitchText[] = "AT$QCDMG\r\n";

// An ESN and the MIN of "(212) 555-0147": each digit is stored as the
// digit minus one (0 as 9), the thousands digit 0 as 10.
constexpr uint32_t kEsn = 0x8D2A41F3;
constexpr uint32_t kMin1 = 444u << 14 | 10u << 10 | 36u;
constexpr uint16_t kMin2 = 101;

using Bytes = ScriptedHandset::Bytes;

void Put(Bytes& bytes, size_t offset, uint32_t value, int width)
{
    for (int i = 0; i < width; ++i)
        bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

uint16_t Word(const Bytes& body, size_t offset)
{
    return body.size() > offset + 1 ? static_cast<uint16_t>(body[offset] | body[offset + 1] << 8) : 0;
}

// The request inside a frame: no leading flag, unescaped, without its check
// sequence and closing flag.
Bytes Unframe(const Bytes& frame)
{
    size_t begin = !frame.empty() && (frame[0] == FrameCodec::kFlag || frame[0] == FrameCodec::kLead) ? 1 : 0;
    if (frame.size() < begin + 3)
        return {};
    Bytes body = FrameCodec::Unescape(frame.data() + begin, frame.size() - begin - 1);
    body.resize(body.size() >= 2 ? body.size() - 2 : 0);
    return body;
}

std::string RequestName(const Bytes& body)
{
    char name[32];
    switch (body[0]) {
    case kVersion: return "Version";
    case kStatus: return "Status";
    case kDmMode: return "DmMode";
    case kPassword: return "Password";
    case kSpc: return "Spc " + std::string(body.begin() + 1, body.end());
    case kNvRead: std::snprintf(name, sizeof name, "NvRead %u", Word(body, 1)); return name;
    case kNvWrite: std::snprintf(name, sizeof name, "NvWrite %u", Word(body, 1)); return name;
    case kModeControl: std::snprintf(name, sizeof name, "ModeControl %u", Word(body, 1)); return name;
    default: std::snprintf(name, sizeof name, "Request %02X", body[0]); return name;
    }
}
} // namespace

const ScriptedHandset::Bytes ScriptedHandset::kSilence;

ScriptedHandset::ScriptedHandset()
{
    m_usual[kDmSwitch] = {'\r', '\n', 'O', 'K', '\r', '\n'};
    m_usual[kStatus] = StatusAnswer(kEsn, kMin1, kMin2);
    m_usual[kVersion] = VersionAnswer("Jun 20 2006", "AB12.5", 0x93);
    m_usual[kNvRead] = NvReadAnswer(kHardwareVersionItem, "HW00.01");
    m_usual[kModeControl] = {kModeControl, 1, 0};
    m_usual[kSpc] = {kSpc, 1};
    m_usual[kPassword] = {kPassword, 1};
    m_usual[kDmMode] = {kDmMode, 0};
}

ScriptedHandset::Bytes ScriptedHandset::StatusAnswer(uint32_t esn, uint32_t min1, uint16_t min2)
{
    Bytes answer(32, 0);
    answer[0] = kStatus;
    Put(answer, 4, esn, 4);
    Put(answer, 14, min1, 4);
    Put(answer, 20, min2, 2);
    return answer;
}

ScriptedHandset::Bytes ScriptedHandset::VersionAnswer(const std::string& compileDate, const std::string& version, uint8_t modelCode)
{
    Bytes answer(64, 0);
    answer[0] = kVersion;
    std::memcpy(&answer[1], compileDate.data(), std::min<size_t>(compileDate.size(), 11));
    std::memcpy(&answer[31], version.data(), std::min<size_t>(version.size(), 16));
    answer[48] = 7;
    answer[49] = modelCode;
    return answer;
}

ScriptedHandset::Bytes ScriptedHandset::NvReadAnswer(uint16_t item, const std::string& data)
{
    Bytes answer(133, 0);
    answer[0] = kNvRead;
    Put(answer, 1, item, 2);
    std::memcpy(&answer[3], data.data(), std::min<size_t>(data.size(), 128));
    return answer;
}

void ScriptedHandset::Queue(int request, std::vector<Bytes> answers)
{
    std::lock_guard lock(m_mutex);
    for (auto& answer : answers)
        m_queued[request].push_back(std::move(answer));
}

void ScriptedHandset::SetUsualAnswer(int request, Bytes answer)
{
    std::lock_guard lock(m_mutex);
    m_usual[request] = std::move(answer);
}

OperationContext::ChannelFactory ScriptedHandset::Factory()
{
    return [this] { return std::make_unique<ScriptedChannel>(*this); };
}

void ScriptedHandset::Note(Event event, const std::string& text)
{
    std::lock_guard lock(m_mutex);
    m_timeline.emplace_back(event, text);
}

std::vector<std::string> ScriptedHandset::Timeline() const
{
    std::lock_guard lock(m_mutex);
    std::vector<std::string> texts;
    for (const auto& [event, text] : m_timeline)
        texts.push_back(text);
    return texts;
}

std::vector<std::string> ScriptedHandset::Line() const
{
    std::lock_guard lock(m_mutex);
    std::vector<std::string> texts;
    for (const auto& [event, text] : m_timeline)
        if (event == Event::Line)
            texts.push_back(text);
    return texts;
}

std::vector<int> ScriptedHandset::ClosesPerChannel() const
{
    std::lock_guard lock(m_mutex);
    return m_closes;
}

int ScriptedHandset::ChannelMade()
{
    std::lock_guard lock(m_mutex);
    m_closes.push_back(0);
    return static_cast<int>(m_closes.size()) - 1;
}

bool ScriptedHandset::Opened()
{
    Note(Event::Line, m_refuseOpens ? "open refused" : "open");
    return !m_refuseOpens;
}

void ScriptedHandset::Closed(int channel)
{
    std::lock_guard lock(m_mutex);
    ++m_closes[channel];
}

ScriptedHandset::Bytes ScriptedHandset::AnswerTo(int request)
{
    std::lock_guard lock(m_mutex);
    auto& queued = m_queued[request];
    if (queued.empty())
        return m_usual[request];
    Bytes answer = std::move(queued.front());
    queued.pop_front();
    return answer;
}

ScriptedHandset::Bytes ScriptedHandset::Answer(const Bytes& written)
{
    if (written == Bytes(kDmSwitchText, kDmSwitchText + sizeof kDmSwitchText - 1)) {
        Note(Event::Line, "AT");
        return AnswerTo(kDmSwitch);
    }
    Bytes body = Unframe(written);
    if (body.empty())
        return {};
    Note(Event::Line, RequestName(body));
    // The handset restarts on a reset request and answers nothing.
    if (body[0] == kModeControl && Word(body, 1) != 1)
        return {};
    Bytes answer = AnswerTo(body[0]);
    if (answer.empty())
        return {};
    std::vector<uint8_t> frame;
    FrameCodec::EncodeFrame(answer.data(), answer.size(), false, false, frame);
    return frame;
}
