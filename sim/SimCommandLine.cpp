#include "sim/SimCommandLine.h"

#include "sim/FaultPlan.h"
#include "sim/SimCommand.h"
#include "sim/SimConstants.h"
#include "sim/SimState.h"
#include "version/Version.h"

namespace {
bool AddCounts(const std::vector<std::string>& texts, const char* option, std::string& error,
    void (FaultPlan::*add)(int, unsigned), FaultPlan& faults)
{
    for (const std::string& text : texts) {
        int code = 0;
        unsigned count = 0;
        if (!SimCommand::ParseCount(text, code, count)) {
            error = std::string(option) + " " + text + ": expected COMMAND:N with N >= 1, COMMAND one of " + SimCommand::ShortNames()
                + " or a code such as 0x0C";
            return false;
        }
        (faults.*add)(code, count);
    }
    return true;
}

template <class T>
void SetIfGiven(const std::string& text, T set)
{
    if (!text.empty())
        set(text);
}
} // namespace

SimCommandLine::SimCommandLine() : m_app("vqxb410-sim: a simulated VQX-B410 handset on a pseudo-terminal", "vqxb410-sim")
{
    m_app.footer(
        "The first line on standard output is the pseudo-terminal's device path; with --tcp a second line\n"
        "\"tcp HOST:PORT\" follows. The handset runs until SIGTERM, SIGINT or SIGHUP, then removes its by-id link,\n"
        "saves its state and exits 0 (a fatal signal or error still removes the link). Delays are scaled by\n"
        "CORVANETOV_TIME_SCALE; the line rate is not.");
    m_app.set_version_flag("--version", std::string("vqxb410-sim ") + corvanetov::kVersion, "print the version and exit");
    m_app.add_option("--state", m_handset.statePath, "JSON state file: read at start, saved after every NV write and at exit")
        ->type_name("FILE");
    m_app.add_option("--log", m_logPath, "append one JSON line per request, answer and event to FILE")->type_name("FILE");
    m_app.add_option("--by-id", m_transport.byIdDir, "create a by-id style link to the device in DIR (removed at exit or hang-up)")
        ->type_name("DIR");
    m_app.add_option("--by-id-name", m_transport.byIdName, "name of that link")->type_name("NAME")->capture_default_str();
    m_app.add_option("--by-id-download-name", m_transport.byIdDownloadName,
                     "name of that link while the handset is in download mode (default: the same)")
        ->type_name("NAME");
    m_app.add_option("--by-path", m_transport.byPathDir,
                     "create a by-path style link (the USB port) to the device in DIR (removed at exit or hang-up)")
        ->type_name("DIR");
    m_app.add_option("--by-path-name", m_transport.byPathName, "name of that link")->type_name("NAME")->capture_default_str();
    m_app.add_option("--tcp", m_transport.tcp, "also serve the handset on a raw TCP socket at HOST:PORT (port 0: any free port; :PORT: 127.0.0.1 only)")
        ->type_name("HOST:PORT");
    m_app.add_flag("--emergency", m_handset.emergency, "start in download mode");
    m_app.add_option("--flash-out", m_handset.flashOut, "write the flashed code image (from address 0) to FILE after a download and at exit")
        ->type_name("FILE");
    m_app.add_option("--font-out", m_handset.fontOut, "write the flashed font image (from its start address) to FILE likewise")
        ->type_name("FILE");
    m_handset.roamingDir = ".";
    m_app.add_option("--roaming-dir", m_handset.roamingDir, "save finished PRL and ERI files as nam1.prl, nam2.eri, ... in DIR")
        ->type_name("DIR")
        ->capture_default_str();
    m_app.add_option("--version-after-flash", m_handset.versionAfterFlash,
                     "the software version text the handset runs after a completed flash (default: unchanged)")
        ->type_name("TEXT");
    m_app.add_option("--reset-ms", m_handset.resetMs, "quiet moment of a reset or restart")->type_name("MS")->capture_default_str();
    m_app.add_option("--erase-ms", m_handset.eraseMs, "time an erase takes")->type_name("MS")->capture_default_str();
    m_app.add_option("--line-rate", m_transport.lineRate, "throttle both directions to this many bits per second, 8N1 (0 = unlimited)")
        ->type_name("BPS")
        ->capture_default_str();
    AddIdentityOptions();
    AddFaultOptions();
}

void SimCommandLine::AddIdentityOptions()
{
    const char* group = "Handset (override the state file)";
    m_app.add_option("--esn", m_esn, "ESN, hexadecimal")->group(group);
    m_app.add_option("--phone-number", m_phoneNumber, "phone number, e.g. \"(212) 555-0147\" or 555-0147")->group(group);
    m_app.add_option("--compile-date", m_compileDate, "compile date, e.g. \"Jun 20 2006\"")->group(group);
    m_app.add_option("--version-text", m_versionText, "software version text, e.g. B410V01.05")->group(group);
    m_app.add_option("--hw-version", m_hardwareVersion, "hardware version, NV item 2045 (7 characters)")->group(group);
    m_app.add_option("--lock-code", m_lockCode, "lock code, NV item 82 (up to 8 characters)")->group(group);
    m_app.add_option("--uim-lock-code", m_uimLockCode, "UIM lock code, NV item 2071 (8 characters)")->group(group);
    m_app.add_option("--sids", m_sids, "network-lock home SIDs, NV item 2073 (up to 20, comma separated)")
        ->delimiter(',')
        ->check(CLI::Range(0, 0xFFFF))
        ->group(group);
    m_app.add_option("--msl", m_msl, "MSL code the handset accepts (6 digits)")->group(group);
    m_app.add_option("--model-code", m_modelCode, "model code in the version answer (0x93; anything else is a wrong model)")
        ->check(CLI::Range(0, 0xFF))
        ->group(group);
    m_app.add_option("--cai-revision", m_caiRevision, "byte 48 of the version answer")->check(CLI::Range(0, 0xFF))->group(group);
}

void SimCommandLine::AddFaultOptions()
{
    const char* group = "Faults (COMMAND: a name such as status, nvread, block, or a code such as 0x0C; see sim/README.md)";
    m_app.add_option("--drop", m_drop, "leave the first N requests of COMMAND unanswered (repeatable)")->type_name("COMMAND:N")->group(group);
    m_app.add_option("--drop-from", m_dropFrom, "leave the Nth and every later request of COMMAND unanswered (repeatable)")
        ->type_name("COMMAND:N")
        ->group(group);
    m_app.add_option("--corrupt", m_corrupt, "damage the answer to the Nth request of COMMAND (repeatable)")->type_name("COMMAND:N")->group(group);
    m_app.add_option("--corrupt-from", m_corruptFrom, "damage the answers to the Nth and every later request of COMMAND (repeatable)")
        ->type_name("COMMAND:N")
        ->group(group);
    m_app.add_option("--hangup", m_hangUp, "close the line when the Nth request of COMMAND arrives (repeatable)")->type_name("COMMAND:N")->group(group);
    m_app.add_option("--refuse-piece", m_refusePiece, "answer the Nth roaming data write of COMMAND (prl or eri) as a bad piece, not stored")
        ->type_name("COMMAND:N")
        ->group(group);
    m_app.add_option("--refuse-piece-from", m_refusePieceFrom, "answer the Nth and every later roaming data write of COMMAND as a bad piece")
        ->type_name("COMMAND:N")
        ->group(group);
    m_app.add_option("--reject-from", m_rejectFrom, "answer the Nth and every later request of COMMAND with the bad-command answer 0x13")
        ->type_name("COMMAND:N")
        ->group(group);
    m_app.add_option("--swap-from", m_swapFrom, "from the Nth request of COMMAND on, another handset answers: its ESN is the next one")
        ->type_name("COMMAND:N")
        ->group(group);
    m_app.add_flag("--silent", m_silent, "answer nothing at all: a handset that is switched off")->group(group);
    m_app.add_option("--nak-block", m_nakBlock, "answer flash block N (0-based) once with CODE, 0xA1 to 0xA3 (default 0xA1)")->type_name("N[:CODE]")
        ->group(group);
    m_app.add_option("--nak-from", m_nakFrom, "answer flash block request N and every one after it with CODE (default 0xA1)")
        ->type_name("N[:CODE]")
        ->group(group);
    m_app.add_flag("--refuse-msl", m_refuseMsl, "refuse every MSL code")->group(group);
    m_app.add_flag("--refuse-password", m_refusePassword, "refuse the password")->group(group);
    m_app.add_option("--delay", m_transport.delayMs, "delay every answer")->type_name("MS")->group(group);
    m_app.add_option("--garbage", m_transport.garbageBytes, "write a junk frame of N bytes after every answer")->type_name("N")->group(group);
    m_app.add_flag("--lone-flag", m_transport.loneFlag,
        "write each answer's closing flag in a write of its own, " + std::to_string(AnswerSlicer::kFlagGap.count())
            + " ms later, as a USB adapter's last packet")
        ->group(group);
    m_app.add_option_function<uint32_t>("--chunks", [this](const uint32_t& seed) { m_transport.chunkSeed = seed; },
        "write every answer in random pieces of 1 to " + std::to_string(AnswerSlicer::kMaxChunk) + " bytes, up to "
            + std::to_string(AnswerSlicer::kMaxChunkGap.count()) + " ms apart; the same SEED gives the same pieces")
        ->type_name("SEED")
        ->group(group);
}

bool SimCommandLine::AddRefusedPieces(const std::vector<std::string>& texts, const char* option, void (FaultPlan::*add)(int, unsigned),
                                      FaultPlan& faults, std::string& error)
{
    for (const std::string& text : texts) {
        int code = 0;
        unsigned nth = 0;
        if (!SimCommand::ParseCount(text, code, nth) || (code != sim::kCmdPrlWrite && code != sim::kCmdEriWrite)) {
            error = std::string(option) + " " + text + ": expected prl:N or eri:N with N >= 1";
            return false;
        }
        (faults.*add)(code, nth);
    }
    return true;
}

std::optional<int> SimCommandLine::Parse(int argc, char** argv)
{
    try {
        m_app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // --help and --version end here with 0; a wrong command line with 2,
        // as with the tool's other programs.
        return m_app.exit(e) == 0 ? 0 : sim::kExitUsage;
    }
    return std::nullopt;
}

bool SimCommandLine::LoadState(SimState& state, std::string& error) const
{
    if (!m_handset.statePath.empty() && !state.Load(m_handset.statePath, error))
        return false;
    if (!m_esn.empty()) {
        try {
            state.SetEsn(static_cast<uint32_t>(std::stoul(m_esn, nullptr, 16)));
        } catch (const std::exception&) {
            error = "--esn " + m_esn + ": not a hexadecimal number";
            return false;
        }
    }
    if (!m_phoneNumber.empty() && !state.SetPhoneNumber(m_phoneNumber)) {
        error = "--phone-number " + m_phoneNumber + ": not a 7- or 10-digit number";
        return false;
    }
    SetIfGiven(m_compileDate, [&](const std::string& v) { state.SetCompileDate(v); });
    SetIfGiven(m_versionText, [&](const std::string& v) { state.SetVersionText(v); });
    SetIfGiven(m_hardwareVersion, [&](const std::string& v) { state.SetHardwareVersion(v); });
    SetIfGiven(m_lockCode, [&](const std::string& v) { state.SetLockCode(v); });
    SetIfGiven(m_uimLockCode, [&](const std::string& v) { state.SetUimLockCode(v); });
    SetIfGiven(m_msl, [&](const std::string& v) { state.SetMsl(v); });
    if (!m_sids.empty())
        state.SetHomeSids(std::vector<uint16_t>(m_sids.begin(), m_sids.end()));
    if (m_modelCode >= 0)
        state.SetModelCode(static_cast<uint8_t>(m_modelCode));
    if (m_caiRevision >= 0)
        state.SetCaiRevision(static_cast<uint8_t>(m_caiRevision));
    return true;
}

bool SimCommandLine::BuildFaults(FaultPlan& faults, std::string& error) const
{
    if (!AddCounts(m_drop, "--drop", error, &FaultPlan::DropFirst, faults)
        || !AddCounts(m_dropFrom, "--drop-from", error, &FaultPlan::DropFrom, faults)
        || !AddCounts(m_corrupt, "--corrupt", error, &FaultPlan::CorruptAnswer, faults)
        || !AddCounts(m_corruptFrom, "--corrupt-from", error, &FaultPlan::CorruptFrom, faults)
        || !AddCounts(m_hangUp, "--hangup", error, &FaultPlan::HangUpAfter, faults)
        || !AddCounts(m_rejectFrom, "--reject-from", error, &FaultPlan::RejectFrom, faults)
        || !AddCounts(m_swapFrom, "--swap-from", error, &FaultPlan::SwapFrom, faults)
        || !AddRefusedPieces(m_refusePiece, "--refuse-piece", &FaultPlan::RefusePiece, faults, error)
        || !AddRefusedPieces(m_refusePieceFrom, "--refuse-piece-from", &FaultPlan::RefusePieceFrom, faults, error))
        return false;
    faults.SetSilent(m_silent);
    faults.SetRefuseMsl(m_refuseMsl);
    faults.SetRefusePassword(m_refusePassword);
    unsigned block = 0;
    uint8_t code = 0;
    if (!m_nakBlock.empty()) {
        if (!ParseBlockNak("--nak-block", m_nakBlock, block, code, error))
            return false;
        faults.NakBlock(block, code);
    }
    if (!m_nakFrom.empty()) {
        if (!ParseBlockNak("--nak-from", m_nakFrom, block, code, error))
            return false;
        faults.NakFrom(block, code);
    }
    return true;
}

bool SimCommandLine::ParseBlockNak(const char* option, const std::string& text, unsigned& block, uint8_t& code, std::string& error)
{
    unsigned long number = 0;
    unsigned long answer = sim::kFlashResendFirst;
    try {
        size_t used = 0;
        number = std::stoul(text, &used, 0);
        if (used < text.size()) {
            if (text[used] != ':')
                throw std::invalid_argument("separator");
            answer = std::stoul(text.substr(used + 1), nullptr, 0);
        }
    } catch (const std::exception&) {
        answer = 0;
    }
    if (answer < sim::kFlashResendFirst || answer > sim::kFlashResendLast) {
        error = std::string(option) + " " + text + ": expected N or N:CODE with CODE 0xA1 to 0xA3";
        return false;
    }
    block = static_cast<unsigned>(number);
    code = static_cast<uint8_t>(answer);
    return true;
}
