#include "engine/RoamingProgram.h"

#include <algorithm>
#include <array>

#include "diag/DiagConstants.h"
#include "diag/DiagRequests.h"
#include "engine/EngineConstants.h"
#include "engine/OperationContext.h"
#include "platform/Trace.h"
#include "prl/Std683a.h"

namespace corvanetov {

using namespace detail;

namespace {
constexpr int kNams = 2;
constexpr int kResetRequests = 2;

} // namespace

struct RoamingProgram::Kind {
    const OperationFamily& family;
    uint8_t command;
    bool (Std683a::*read)(const std::string& path, int slot);
    const char* const* writeStatus; // per NAM
    const char* const* loadError;   // per NAM
    const char* writeError;
    const char* completed;
    const char* activity;
};

const RoamingProgram::Kind RoamingProgram::kPrl{families::kPrl,      diag::kCmdPrlWrite,   &Std683a::ReadPrlFile,
                                                engine::kWritePrlToNam, engine::kErrLoadingPrl, engine::kErrWritingPrl,
                                                engine::kCompletedPrl, engine::kActivityWritingPrl};
const RoamingProgram::Kind RoamingProgram::kEri{families::kEri,      diag::kCmdEriWrite,   &Std683a::ReadEriFile,
                                                engine::kWriteEriToNam, engine::kErrLoadingEri, engine::kErrWritingEri,
                                                engine::kCompletedEri, engine::kActivityWritingEri};

RoamingProgram::RoamingProgram(const Kind& kind) : m_kind(kind), m_frame(kind.family, kind.activity) {}

void RoamingProgram::PrlProgramWorker(RoamingProgramRequest request)
{
    RoamingProgram(kPrl).Run(request);
}

void RoamingProgram::EriProgramWorker(RoamingProgramRequest request)
{
    RoamingProgram(kEri).Run(request);
}

uint32_t RoamingProgram::PieceCount(uint32_t size)
{
    return static_cast<uint32_t>((size + diag::kRoamingPieceBytes - 1) / diag::kRoamingPieceBytes);
}

void RoamingProgram::Run(const RoamingProgramRequest& request)
{
    // Every chosen file is read and checked before the handset is touched:
    // a bad NAM2 file ends the operation with nothing written.
    for (int nam = 0; nam < kNams; ++nam) {
        if (!request.Names(nam))
            continue;
        if (!Load(request.Path(nam), nam))
            return;
        m_bytesTotal += Std683a::Instance().Size(nam);
    }
    if (!m_frame.Open() || !m_frame.GoOffline(engine::kHandsetRestartMs) || !m_frame.Unlock())
        return;
    std::array<bool, kNams> written{};
    bool failed = false;
    for (int nam = 0; nam < kNams; ++nam) {
        if (!request.Names(nam))
            continue;
        m_frame.Status(m_kind.writeStatus[nam]);
        // A failed NAM1 write does not keep NAM2 from its write, but the
        // operation does not end as if both had gone through.
        const bool taken = !WriteRoamingData(nam);
        written[static_cast<size_t>(nam)] = taken;
        failed = failed || !taken;
        if (OperationFrame::Stopped())
            return;
    }
    // A failed write leaves the handset as it is: no reset, only the port released.
    if (failed) {
        m_frame.Fail(FailureText(request, written));
        return;
    }
    m_frame.Status(engine::kStepHfMode);
    if (m_frame.ResetHandset(kResetRequests, OperationFrame::ResetText::AtFirstRequest) && m_frame.Pause(engine::kHandsetRestartMs))
        m_frame.Complete(m_kind.completed);
}

// With both NAMs chosen and one written, the text says which one is on the
// handset now.
std::string RoamingProgram::FailureText(const RoamingProgramRequest& request, const std::array<bool, 2>& written) const
{
    if (request.nams != RoamingProgramRequest::kBoth || (!written[0] && !written[1]))
        return m_kind.writeError;
    return written[0] ? std::string(engine::kNam1WrittenNam2Failed) + m_kind.writeError
                      : std::string(engine::kNam1FailedNam2Written) + m_kind.writeError;
}

bool RoamingProgram::Load(const std::string& path, int nam)
{
    Std683a& files = Std683a::Instance();
    if ((files.*m_kind.read)(path, nam))
        return true;
    if (Prompts* prompts = Context().GetPrompts())
        prompts->ShowMessage(files.Message(), "", Prompts::Style::Ok, Prompts::Icon::Warning);
    m_frame.Fail(m_kind.loadError[nam]);
    return false;
}

bool RoamingProgram::WriteRoamingData(int nam)
{
    Std683a& files = Std683a::Instance();
    uint32_t pieces = PieceCount(files.Size(nam));
    files.SetPieceCount(nam, pieces);
    // The readers refuse a file without a piece: nothing would ever answer.
    // Only a NAM that took every piece reaches 100 %, so that a view can
    // tell which NAM was written.
    bool failed = !m_frame.Pause(engine::kRoamingBeforeFirstPieceMs) || !SendPieces(nam, pieces);
    if (!failed)
        m_frame.Progress(engine::kFullPercent, nam);
    return failed;
}

bool RoamingProgram::SendPieces(int nam, uint32_t pieces)
{
    const uint32_t size = Std683a::Instance().Size(nam);
    for (uint32_t piece = 0; piece < pieces; ++piece) {
        TRACE("%d ", static_cast<int>(piece));
        if (!DeliverPiece(piece, nam, pieces))
            return false;
        m_bytesDone += std::min<uint64_t>(diag::kRoamingPieceBytes, size - uint64_t(piece) * diag::kRoamingPieceBytes);
        m_frame.TransferProgress(static_cast<int32_t>((piece + 1) * engine::kFullPercent / pieces),
                                 {m_bytesDone, m_bytesTotal, 0, 0}, nam);
        if (!m_frame.Pause(engine::kRoamingAfterPieceMs))
            return false;
    }
    return true;
}

bool RoamingProgram::DeliverPiece(uint32_t piece, int nam, uint32_t pieces)
{
    int result = SendAndWait(piece, nam);
    if (Accepted(result))
        return true;
    if (OperationFrame::Stopped())
        return false;
    TraceResult(result);
    TRACE("First Error in %d/%d", static_cast<int>(piece + 1), static_cast<int>(pieces));
    // The first send counts as attempt 1.
    for (int attempt = 2; attempt <= engine::kRoamingResends + 1; ++attempt) {
        if (!m_frame.Pause(engine::kRoamingResendPauseMs))
            return false;
        result = SendAndWait(piece, nam);
        if (OperationFrame::Stopped())
            return false;
        TraceResult(result);
        if (Accepted(result))
            return true;
        TRACE("%d's Error ", attempt);
    }
    return false;
}

int RoamingProgram::SendAndWait(uint32_t piece, int nam)
{
    DiagChannel* channel = Context().Channel();
    if (!channel)
        return Exchange::kOther;
    SendRoamingPiece(piece, nam);
    if (!m_frame.Pause(engine::kRoamingAfterSendMs))
        return Exchange::kOther;
    return Context().GetExchange().WaitResponse(*channel, engine::kRoamingAnswerTimeoutMs);
}

void RoamingProgram::SendRoamingPiece(uint32_t piece, int nam)
{
    const Std683a& files = Std683a::Instance();
    uint32_t pieces = files.PieceCount(nam);
    DiagChannel* channel = Context().Channel();
    if (piece >= pieces || !channel)
        return;
    size_t offset = size_t(piece) * diag::kRoamingPieceBytes;
    size_t count = std::min<size_t>(diag::kRoamingPieceBytes, files.Size(nam) - offset);
    uint8_t data[diag::kRoamingPieceBytes] = {};
    files.CopyBytes(data, nam, offset, count);
    DiagRequests::RoamingDataWriteRequest(*channel, m_kind.command, static_cast<uint8_t>(piece), piece + 1 < pieces,
                                          static_cast<uint8_t>(nam), {data, count});
}

// Only the write's own answer counts: a late answer to another request
// (the unlock's, say) must not pass for the piece's.
bool RoamingProgram::Accepted(int waitResult) const
{
    const uint8_t* answer = Context().Answer();
    uint8_t status = answer[engine::kRoamingStatusOffset];
    return waitResult == Exchange::kAnswer && answer[0] == m_kind.command &&
        (status == engine::kRoamingLastStored || status == engine::kRoamingPieceStored);
}

void RoamingProgram::TraceResult(int waitResult)
{
    TRACE("\nnResult = %d, status = %x ", waitResult, Context().Answer()[engine::kRoamingStatusOffset]);
}

} // namespace corvanetov
