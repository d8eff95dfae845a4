#include "sim/SimHandset.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "diag/Crc16X25.h"
#include "diag/FrameCodec.h"
#include "platform/FileSave.h"
#include "platform/Pacing.h"
#include "sim/FaultPlan.h"
#include "sim/LittleEndian.h"
#include "sim/SimFrameReader.h"
#include "sim/SimLog.h"
#include "sim/SimState.h"

using namespace corvanetov;

namespace {
constexpr size_t kModeControlSize = 3;
constexpr size_t kSpcRequestSize = 1 + sim::kSpcCodeSize;
constexpr size_t kPasswordRequestSize = 1 + sim::kPasswordSize;
constexpr size_t kErrorEchoBytes = 16; // how much of a refused request its error answer repeats
constexpr uint8_t kBootAck[] = {0xAA, 0xAF};
constexpr const char* kDmSwitch = "AT$QCDMG";
constexpr const char* kAtOk = "\r\nOK\r\n";
constexpr const char* kAtError = "\r\nERROR\r\n";

std::vector<uint8_t> Bytes(const char* text)
{
    return std::vector<uint8_t>(text, text + std::char_traits<char>::length(text));
}

void AppendEscaped(std::vector<uint8_t>& out, uint8_t byte)
{
    uint8_t escaped = 0;
    if (FrameCodec::EscapeByte(escaped, byte))
        out.push_back(FrameCodec::kEscape);
    out.push_back(escaped);
}

const char* ModeName(SimHandset::Mode mode)
{
    return mode == SimHandset::Mode::Normal ? "normal" : "download";
}
} // namespace

SimHandset::SimHandset(SimState& state, FaultPlan& faults, SimLog& log, SimHandsetOptions options)
    : m_state(state), m_faults(faults), m_log(log), m_options(std::move(options)), m_loader(faults)
{
    if (m_options.emergency)
        m_mode = Mode::Download;
}

SimHandset::Reaction SimHandset::OnInput(const SimInput& input)
{
    switch (input.kind) {
    case SimInput::Kind::BadCrc:
        m_log.Event("bad_crc", {{"size", input.bytes.size() + 2}});
        return {};
    case SimInput::Kind::ShortFrame:
        m_log.Event("short_frame");
        return {};
    case SimInput::Kind::Overlong:
        m_log.Event("overlong");
        return {};
    default:
        break;
    }
    int code = input.kind == SimInput::Kind::AtCommand ? sim::kPseudoAt
        : input.kind == SimInput::Kind::BootCommand    ? sim::kPseudoBoot
                                                       : input.bytes[0];
    LogInput(input, code);
    // The boot loader answers even while the handset restarts.
    if (Restarting() && input.kind != SimInput::Kind::BootCommand) {
        m_log.Event("ignored", {{"reason", "restarting"}});
        return {};
    }
    FaultPlan::Verdict verdict = m_faults.OnRequest(code);
    if (verdict.hangUp) {
        m_log.Event("hangup");
        return {{}, {}, true};
    }
    if (verdict.drop) {
        m_log.Event("dropped");
        return {};
    }
    std::optional<Answer> answer;
    if (verdict.reject && input.kind == SimInput::Kind::Frame && m_mode == Mode::Normal)
        answer = ErrorAnswer(sim::kCmdBadCommand, input.bytes);
    else if (input.kind == SimInput::Kind::AtCommand)
        answer = HandleAt(input.text);
    else if (input.kind == SimInput::Kind::BootCommand)
        answer = HandleBoot(input.bootCode);
    else
        answer = m_mode == Mode::Normal ? HandleNormal(input.bytes, verdict.refuse) : HandleDownload(input.bytes);
    if (!answer) {
        m_log.Event("ignored", {{"reason", "not understood"}, {"mode", ModeName(m_mode)}});
        return {};
    }
    Reaction reaction{Encode(*answer, verdict.corrupt), answer->delay, false};
    answer->fields["bytes"] = reaction.bytes.size();
    if (verdict.corrupt)
        answer->fields["corrupted"] = true;
    m_log.Answer(code, std::move(answer->fields));
    return reaction;
}

std::optional<SimHandset::Answer> SimHandset::HandleNormal(const std::vector<uint8_t>& request, bool refusePiece)
{
    switch (request[0]) {
    case sim::kCmdVersion:
        return VersionAnswer();
    case sim::kCmdStatus:
        return StatusAnswer();
    case sim::kCmdNvRead:
    case sim::kCmdNvWrite:
        return NvAnswer(request);
    case sim::kCmdModeControl:
        return ModeControlAnswer(request);
    case sim::kCmdDownloadMode:
        Restart(Mode::Download);
        return Answer{{sim::kCmdDownloadMode, 0}};
    case sim::kCmdDmMode:
        return Answer{{sim::kCmdDmMode, 0}};
    case sim::kCmdSpc: {
        if (request.size() != kSpcRequestSize)
            return ErrorAnswer(sim::kCmdBadLength, request);
        std::string msl = m_state.Msl();
        msl.resize(sim::kSpcCodeSize, '\0');
        bool match = std::equal(msl.begin(), msl.end(), request.begin() + 1);
        return UnlockAnswer(request, match && !m_faults.RefuseMsl());
    }
    case sim::kCmdPassword: {
        if (request.size() != kPasswordRequestSize)
            return ErrorAnswer(sim::kCmdBadLength, request);
        bool match = std::equal(std::begin(sim::kPassword), std::end(sim::kPassword), request.begin() + 1);
        return UnlockAnswer(request, match && !m_faults.RefusePassword());
    }
    case sim::kCmdPrlWrite:
    case sim::kCmdEriWrite:
        return RoamingAnswer(request, refusePiece);
    default:
        return ErrorAnswer(sim::kCmdBadCommand, request);
    }
}

std::optional<SimHandset::Answer> SimHandset::HandleDownload(const std::vector<uint8_t>& request)
{
    SimFlashLoader::Outcome outcome = m_loader.Handle(request);
    if (!outcome.status)
        return std::nullopt;
    Answer answer{{*outcome.status}, false, true};
    answer.fields["status"] = *outcome.status;
    if (outcome.erase)
        answer.delay = Pacing::Instance().Scaled(m_options.eraseMs);
    if (outcome.reboot) {
        WriteFlashFiles();
        // The handset starts the software it was given.
        if (!m_options.versionAfterFlash.empty())
            m_state.SetVersionText(m_options.versionAfterFlash);
        Restart(Mode::Normal);
    }
    return answer;
}

SimHandset::Answer SimHandset::HandleBoot(int code)
{
    uint8_t body = code == 1 ? 0xDD : code == 2 ? 0x1F : 0x9A;
    return Answer{{kBootAck[0], kBootAck[1], body, FrameCodec::kFlag}, true};
}

std::optional<SimHandset::Answer> SimHandset::HandleAt(const std::string& line) const
{
    if (m_mode != Mode::Normal)
        return std::nullopt; // the loader has no modem
    std::string upper = line;
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
    return Answer{Bytes(upper == kDmSwitch ? kAtOk : kAtError), true};
}

SimHandset::Answer SimHandset::VersionAnswer() const
{
    Answer answer{std::vector<uint8_t>(sim::kVersionAnswerSize, 0)};
    auto put = [&](size_t at, const std::string& text, size_t max) {
        std::copy_n(text.begin(), std::min(text.size(), max), answer.payload.begin() + at);
    };
    answer.payload[0] = sim::kCmdVersion;
    put(sim::kVersionDateOffset, m_state.CompileDate(), sim::kVersionDateSize);
    put(sim::kVersionTimeOffset, m_state.CompileTime(), sim::kVersionTimeSize);
    put(sim::kVersionTextOffset, m_state.VersionText(), sim::kVersionTextMax);
    answer.payload[sim::kVersionCaiOffset] = m_state.CaiRevision();
    answer.payload[sim::kVersionModelOffset] = m_state.ModelCode();
    answer.fields["model_code"] = m_state.ModelCode();
    return answer;
}

SimHandset::Answer SimHandset::StatusAnswer() const
{
    Answer answer{std::vector<uint8_t>(sim::kStatusAnswerSize, 0)};
    answer.payload[0] = sim::kCmdStatus;
    // The handset that took this one's place has the next ESN.
    sim::PutLe32(answer.payload, sim::kStatusEsnOffset, m_faults.Swapped() ? m_state.Esn() + 1 : m_state.Esn());
    sim::PutLe32(answer.payload, sim::kStatusMin1AnalogOffset, m_state.Min1());
    sim::PutLe32(answer.payload, sim::kStatusMin1Offset, m_state.Min1());
    sim::PutLe16(answer.payload, sim::kStatusMin2AnalogOffset, m_state.Min2());
    sim::PutLe16(answer.payload, sim::kStatusMin2Offset, m_state.Min2());
    return answer;
}

SimHandset::Answer SimHandset::NvAnswer(const std::vector<uint8_t>& request)
{
    if (request.size() != sim::kNvRequestSize)
        return ErrorAnswer(sim::kCmdBadLength, request);
    Answer answer{request};
    uint16_t item = sim::Le16(&request[1]);
    uint16_t status = sim::kNvDone;
    if (request[0] == sim::kCmdNvWrite) {
        m_state.WriteItem(item, &request[sim::kNvDataOffset]);
        SaveState();
    } else if (const SimState::NvData* data = m_state.Item(item)) {
        std::copy(data->begin(), data->end(), answer.payload.begin() + sim::kNvDataOffset);
    } else {
        std::fill_n(answer.payload.begin() + sim::kNvDataOffset, sim::kNvDataSize, 0);
        status = sim::kNvNotActive;
    }
    sim::PutLe16(answer.payload, sim::kNvStatusOffset, status);
    answer.fields = {{"item", item}, {"nv_status", status}};
    return answer;
}

SimHandset::Answer SimHandset::ModeControlAnswer(const std::vector<uint8_t>& request)
{
    if (request.size() != kModeControlSize)
        return ErrorAnswer(sim::kCmdBadLength, request);
    uint16_t mode = sim::Le16(&request[1]);
    if (mode > sim::kModeHighest)
        return ErrorAnswer(sim::kCmdBadParameters, request);
    if (mode == sim::kModeReset)
        Restart(Mode::Normal);
    else
        m_offline = mode == sim::kModeOffline;
    Answer answer{request};
    answer.fields = {{"mode", mode}, {"offline", m_offline}};
    return answer;
}

SimHandset::Answer SimHandset::UnlockAnswer(const std::vector<uint8_t>& request, bool accepted)
{
    m_unlocked = m_unlocked || accepted;
    Answer answer{{request[0], static_cast<uint8_t>(accepted ? 1 : 0)}};
    answer.fields["accepted"] = accepted;
    return answer;
}

SimHandset::Answer SimHandset::RoamingAnswer(const std::vector<uint8_t>& request, bool refuse)
{
    auto kind = request[0] == sim::kCmdPrlWrite ? RoamingAssembler::FileKind::Prl : RoamingAssembler::FileKind::Eri;
    RoamingAssembler::Result result{refuse ? sim::kRoamingBadPiece : sim::kRoamingLocked, false};
    if (m_unlocked && !refuse)
        result = m_roaming.Accept(kind, request.data(), request.size());
    uint8_t piece = request.size() > 1 ? request[1] : 0;
    uint8_t nam = request.size() > 3 ? request[3] : 0;
    if (result.complete)
        SaveRoamingFile(kind, nam);
    Answer answer{{request[0], result.status, piece, nam}};
    answer.fields = {{"status", result.status}, {"complete", result.complete}};
    if (refuse)
        answer.fields["refused"] = true;
    return answer;
}

SimHandset::Answer SimHandset::ErrorAnswer(uint8_t error, const std::vector<uint8_t>& request)
{
    Answer answer{{error}};
    answer.payload.insert(answer.payload.end(), request.begin(), request.begin() + std::min(request.size(), kErrorEchoBytes));
    answer.fields["error"] = error;
    return answer;
}

void SimHandset::Restart(Mode mode)
{
    m_mode = mode;
    m_quietUntil = Pacing::Instance().DeadlineAfter(m_options.resetMs);
    m_unlocked = false;
    m_offline = false;
    if (mode == Mode::Download)
        m_loader.Restart();
    m_log.Event("restart", {{"mode", ModeName(mode)}});
}

void SimHandset::SaveState()
{
    std::string error;
    // The handset goes on without its file: a tool on the line must not
    // lose it over a full disk.
    if (!m_options.statePath.empty() && !m_state.Save(m_options.statePath, error)) {
        m_log.Event("save_failed", {{"error", error}});
        std::fprintf(stderr, "vqxb410-sim: state not saved: %s\n", error.c_str());
    }
}

void SimHandset::SaveRoamingFile(RoamingAssembler::FileKind kind, int nam)
{
    if (m_options.roamingDir.empty())
        return;
    const std::vector<uint8_t>& file = m_roaming.Completed(kind, nam);
    std::string path = m_options.roamingDir + "/" + RoamingAssembler::FileName(kind, nam);
    std::string reason;
    const bool saved = FileSave::Replace(path, file.data(), file.size(), reason, FileSave::Sync::None);
    m_log.Event(saved ? "roaming_saved" : "save_failed", {{"path", path}, {"size", file.size()}});
}

void SimHandset::WriteFlashFiles()
{
    const FlashMemory& flash = m_loader.Flash();
    if (!m_options.flashOut.empty() && !flash.ProgrammedRun(0).empty())
        flash.WriteRunToFile(0, m_options.flashOut);
    uint64_t fontBase = m_loader.FontBase();
    if (!m_options.fontOut.empty() && fontBase != 0 && !flash.ProgrammedRun(fontBase).empty())
        flash.WriteRunToFile(fontBase, m_options.fontOut);
}

void SimHandset::Finish()
{
    WriteFlashFiles();
    SaveState();
}

// A corrupted answer keeps the check sequence of the real one, as a line
// error would; its command byte is what the tool notices.
std::vector<uint8_t> SimHandset::Encode(const Answer& answer, bool corrupt) const
{
    std::vector<uint8_t> payload = answer.payload;
    if (corrupt && !payload.empty())
        payload[answer.raw ? payload.size() / 2 : 0] ^= 0x01;
    if (answer.raw)
        return payload;
    uint16_t crc = Crc16X25::Compute(answer.payload.data(), answer.payload.size());
    std::vector<uint8_t> out;
    out.reserve(payload.size() * 2 + 6);
    if (answer.flagged)
        out.push_back(FrameCodec::kFlag);
    for (uint8_t byte : payload)
        AppendEscaped(out, byte);
    AppendEscaped(out, crc & 0xFF);
    AppendEscaped(out, crc >> 8);
    out.push_back(FrameCodec::kFlag);
    return out;
}

nlohmann::json SimHandset::DescribeRequest(const std::vector<uint8_t>& request)
{
    nlohmann::json fields = {{"size", request.size()}};
    switch (request[0]) {
    case sim::kCmdNvRead:
    case sim::kCmdNvWrite:
        if (request.size() >= 3)
            fields["item"] = sim::Le16(&request[1]);
        break;
    case sim::kCmdModeControl:
        if (request.size() >= 3)
            fields["mode"] = sim::Le16(&request[1]);
        break;
    case sim::kCmdPrlWrite:
    case sim::kCmdEriWrite:
        if (request.size() >= sim::kRoamingDataOffset) {
            fields["piece"] = request[1];
            fields["more"] = request[2];
            fields["nam"] = request[3];
            fields["bits"] = sim::Le16(&request[4]);
        }
        break;
    default:
        break; // the MSL code and the password never reach the log
    }
    return fields;
}

void SimHandset::LogInput(const SimInput& input, int code)
{
    if (!m_log.IsOpen())
        return;
    nlohmann::json fields;
    if (input.kind == SimInput::Kind::AtCommand)
        fields = {{"text", input.text}};
    else if (input.kind == SimInput::Kind::BootCommand)
        fields = {{"boot", input.bootCode}};
    else
        fields = m_mode == Mode::Normal ? DescribeRequest(input.bytes) : SimFlashLoader::Describe(input.bytes);
    // A mode control request's own mode wins: it is only understood in
    // normal mode anyway.
    fields.emplace("mode", ModeName(m_mode));
    m_log.Request(code, std::move(fields));
}
