#include "ScriptedHandset.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "ScriptedChannel.h"
#include "diag/DiagConstants.h"
#include "diag/FrameCodec.h"
#include "sim/SimConstants.h"

namespace corvanetov {

// The handset's side of the numbers is the simulator's.
namespace {
constexpr char kDmSwitchText[] = "AT$QCDMG\r\n";
constexpr char kVersionText[] = "AB12.5";
constexpr char kHardwareVersion[] = "HW00.01";

// The MIN of "(212) 555-0147": each digit is stored as the digit minus one
// (0 as 9), the thousands digit 0 as 10.
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

uint32_t Long(const Bytes& body, size_t offset)
{
    return body.size() > offset + 3 ? static_cast<uint32_t>(Word(body, offset) | Word(body, offset + 2) << 16) : 0;
}

// The flash loader's requests, with the values that tell them apart.
std::string FlashRequestName(const Bytes& body)
{
    char name[48];
    switch (body[0]) {
    case sim::kFlashStart:
        if (body.size() == 1)
            return "Start2";
        std::snprintf(name, sizeof name, "Start %X %X", Long(body, 1), Long(body, 5));
        return name;
    case sim::kFlashVersionCheck: std::snprintf(name, sizeof name, "VersionCheck %X", Long(body, 1)); return name;
    case sim::kFlashCopy: return "Copy";
    case sim::kFlashMode: return "Mode";
    case sim::kFlashJump: return "Jump";
    case sim::kFlashErase: std::snprintf(name, sizeof name, "Erase %X %X", Long(body, 1), Long(body, 5)); return name;
    case sim::kFlashWriteBlock: std::snprintf(name, sizeof name, "Block %X", Long(body, 1)); return name;
    default: return "";
    }
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
    char name[64];
    switch (body[0]) {
    case sim::kCmdVersion: return "Version";
    case sim::kCmdStatus: return "Status";
    case sim::kCmdDmMode: return "DmMode";
    case sim::kCmdPassword: return "Password";
    case sim::kCmdSpc: return "Spc " + std::string(body.begin() + 1, body.end());
    case sim::kCmdNvRead: std::snprintf(name, sizeof name, "NvRead %u", Word(body, 1)); return name;
    case sim::kCmdNvWrite: std::snprintf(name, sizeof name, "NvWrite %u", Word(body, 1)); return name;
    case sim::kCmdModeControl: std::snprintf(name, sizeof name, "ModeControl %u", Word(body, 1)); return name;
    case sim::kCmdPrlWrite:
    case sim::kCmdEriWrite:
        std::snprintf(name, sizeof name, "%s %u more %u nam %u bits %u", body[0] == sim::kCmdPrlWrite ? "Prl" : "Eri", body[1],
                      body[2], body[3], Word(body, 4));
        return name;
    case sim::kCmdDownloadMode: return "DownloadMode";
    default:
        if (std::string flash = FlashRequestName(body); !flash.empty())
            return flash;
        std::snprintf(name, sizeof name, "Request %02X", body[0]);
        return name;
    }
}
} // namespace

const ScriptedHandset::Bytes ScriptedHandset::kSilence;

ScriptedHandset::ScriptedHandset()
{
    m_usual[kDmSwitch] = {'\r', '\n', 'O', 'K', '\r', '\n'};
    m_usual[sim::kCmdStatus] = StatusAnswer(sim::kDefaultEsn, kMin1, kMin2);
    m_usual[sim::kCmdVersion] = VersionAnswer(sim::kDefaultCompileDate, kVersionText, sim::kModelCode);
    SetNvItem(sim::kItemHardwareVersion, Bytes(kHardwareVersion, kHardwareVersion + sizeof kHardwareVersion - 1));
    m_usual[sim::kCmdModeControl] = {sim::kCmdModeControl, sim::kModeOffline, 0};
    m_usual[sim::kCmdSpc] = {sim::kCmdSpc, 1};
    m_usual[sim::kCmdPassword] = {sim::kCmdPassword, 1};
    m_usual[sim::kCmdDmMode] = {sim::kCmdDmMode, 0};
    m_usual[sim::kCmdPrlWrite] = {sim::kCmdPrlWrite, sim::kRoamingMore, 0, 0};
    m_usual[sim::kCmdEriWrite] = {sim::kCmdEriWrite, sim::kRoamingMore, 0, 0};
    m_usual[sim::kCmdDownloadMode] = {sim::kCmdDownloadMode, 0};
    for (uint8_t flash : {sim::kFlashStart, sim::kFlashCopy, sim::kFlashJump, sim::kFlashVersionCheck, sim::kFlashWriteBlock,
                          sim::kFlashErase, sim::kFlashMode})
        m_usual[flash] = {sim::kFlashAck};
    // The boot loader echoes the command's byte after its acknowledgement.
    m_usual[kBootCommand + diag::kBootCommand1] = {diag::kBootAck0, diag::kBootAck1, diag::kBoot1[2], FrameCodec::kFlag};
    m_usual[kBootCommand + diag::kBootCommand2] = {diag::kBootAck0, diag::kBootAck1, diag::kBoot2[2], FrameCodec::kFlag};
    m_usual[kBootCommand + diag::kBootCommand5] = {diag::kBootAck0, diag::kBootAck1, diag::kBoot5[2], FrameCodec::kFlag};
}

ScriptedHandset::Bytes ScriptedHandset::StatusAnswer(uint32_t esn, uint32_t min1, uint16_t min2)
{
    Bytes answer(sim::kStatusAnswerSize, 0);
    answer[0] = sim::kCmdStatus;
    Put(answer, sim::kStatusEsnOffset, esn, 4);
    Put(answer, sim::kStatusMin1Offset, min1, 4);
    Put(answer, sim::kStatusMin2Offset, min2, 2);
    return answer;
}

ScriptedHandset::Bytes ScriptedHandset::VersionAnswer(const std::string& compileDate, const std::string& version, uint8_t modelCode)
{
    Bytes answer(sim::kVersionAnswerSize, 0);
    answer[0] = sim::kCmdVersion;
    std::memcpy(&answer[sim::kVersionDateOffset], compileDate.data(), std::min(compileDate.size(), sim::kVersionDateSize));
    std::memcpy(&answer[sim::kVersionTextOffset], version.data(), std::min(version.size(), sim::kVersionTextMax));
    answer[sim::kVersionCaiOffset] = sim::kDefaultCaiRevision;
    answer[sim::kVersionModelOffset] = modelCode;
    return answer;
}

ScriptedHandset::Bytes ScriptedHandset::NvReadAnswer(uint16_t item, const std::string& data)
{
    Bytes answer(sim::kNvRequestSize, 0);
    answer[0] = sim::kCmdNvRead;
    Put(answer, 1, item, 2);
    std::memcpy(&answer[sim::kNvDataOffset], data.data(), std::min(data.size(), sim::kNvDataSize));
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

void ScriptedHandset::SetNvItem(uint16_t item, const Bytes& data)
{
    std::lock_guard lock(m_mutex);
    Bytes& stored = m_nv[item];
    stored.assign(sim::kNvDataSize, 0);
    std::copy_n(data.begin(), std::min(data.size(), stored.size()), stored.begin());
}

ScriptedHandset::Bytes ScriptedHandset::NvItem(uint16_t item) const
{
    std::lock_guard lock(m_mutex);
    auto found = m_nv.find(item);
    return found == m_nv.end() ? Bytes(sim::kNvDataSize, 0) : found->second;
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

std::vector<ScriptedHandset::Bytes> ScriptedHandset::Requests(int command) const
{
    std::lock_guard lock(m_mutex);
    std::vector<Bytes> requests;
    for (const Bytes& body : m_requests)
        if (body[0] == command)
            requests.push_back(body);
    return requests;
}

std::vector<int> ScriptedHandset::ClosesPerChannel() const
{
    std::lock_guard lock(m_mutex);
    return m_closes;
}

std::vector<ScriptedHandset::Bytes> ScriptedHandset::Blocks() const
{
    std::lock_guard lock(m_mutex);
    return m_blocks;
}

int ScriptedHandset::ChannelMade()
{
    std::lock_guard lock(m_mutex);
    m_closes.push_back(0);
    return static_cast<int>(m_closes.size()) - 1;
}

bool ScriptedHandset::Opened()
{
    bool refused = false;
    {
        std::lock_guard lock(m_mutex);
        refused = m_refuseOpens && m_opens++ >= m_opensAllowed;
    }
    Note(Event::Line, refused ? "open refused" : "open");
    return !refused;
}

void ScriptedHandset::Closed(int channel)
{
    std::lock_guard lock(m_mutex);
    ++m_closes[channel];
}

ScriptedHandset::Bytes ScriptedHandset::AnswerTo(int request, const Bytes& body)
{
    auto& queued = m_queued[request];
    if (!queued.empty()) {
        Bytes answer = std::move(queued.front());
        queued.pop_front();
        return answer;
    }
    if (request == sim::kCmdNvRead || request == sim::kCmdNvWrite)
        return NvAnswer(body);
    return m_usual[request];
}

// The request echoed with the item's data, after a write the data written.
ScriptedHandset::Bytes ScriptedHandset::NvAnswer(const Bytes& body)
{
    uint16_t item = Word(body, 1);
    Bytes& stored = m_nv[item];
    stored.resize(sim::kNvDataSize);
    if (body[0] == sim::kCmdNvWrite && body.size() >= sim::kNvDataOffset + sim::kNvDataSize)
        std::copy_n(body.begin() + sim::kNvDataOffset, sim::kNvDataSize, stored.begin());
    Bytes answer(sim::kNvRequestSize, 0);
    std::copy_n(body.begin(), std::min(body.size(), sim::kNvDataOffset), answer.begin());
    std::copy(stored.begin(), stored.end(), answer.begin() + sim::kNvDataOffset);
    return answer;
}

int ScriptedHandset::BootCommandIn(const Bytes& written)
{
    for (auto [code, bytes] : {std::pair{diag::kBootCommand1, Bytes(std::begin(diag::kBoot1), std::end(diag::kBoot1))},
                               std::pair{diag::kBootCommand2, Bytes(std::begin(diag::kBoot2), std::end(diag::kBoot2))},
                               std::pair{diag::kBootCommand5, Bytes(std::begin(diag::kBoot5), std::end(diag::kBoot5))}})
        if (written == bytes)
            return code;
    return 0;
}

ScriptedHandset::Bytes ScriptedHandset::Answer(const Bytes& written)
{
    if (written == Bytes(kDmSwitchText, kDmSwitchText + sizeof kDmSwitchText - 1)) {
        Note(Event::Line, "AT");
        std::lock_guard lock(m_mutex);
        return AnswerTo(kDmSwitch, {});
    }
    if (int boot = BootCommandIn(written)) {
        Note(Event::Line, "Boot " + std::to_string(boot));
        std::lock_guard lock(m_mutex);
        return AnswerTo(kBootCommand + boot, {});
    }
    Bytes body = Unframe(written);
    if (body.empty())
        return {};
    Note(Event::Line, RequestName(body));
    {
        std::lock_guard lock(m_mutex);
        m_requests.push_back(body);
    }
    return AnswerToFrame(body);
}

ScriptedHandset::Bytes ScriptedHandset::AnswerToFrame(const Bytes& body)
{
    // The handset restarts on a reset request and answers nothing.
    if (body[0] == sim::kCmdModeControl && Word(body, 1) != sim::kModeOffline)
        return {};
    Bytes answer;
    {
        std::lock_guard lock(m_mutex);
        if (body[0] == sim::kFlashWriteBlock && body.size() == sim::kWriteBlockRequestSize)
            m_blocks.emplace_back(body.begin() + (sim::kWriteBlockRequestSize - sim::kFlashBlockSize), body.end());
        answer = AnswerTo(body[0], body);
    }
    if (answer.empty())
        return {};
    std::vector<uint8_t> frame;
    FrameCodec::EncodeFrame(answer.data(), answer.size(), false, false, frame);
    return frame;
}

} // namespace corvanetov
