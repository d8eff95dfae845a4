#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/RoamingAssembler.h"
#include "sim/SimConstants.h"
#include "sim/SimFlashLoader.h"

class FaultPlan;
class SimLog;
class SimState;
struct SimInput;

struct SimHandsetOptions {
    uint32_t resetMs = sim::kDefaultResetMs; // quiet moment of a restart, before scaling
    uint32_t eraseMs = sim::kDefaultEraseMs; // time an erase takes, before scaling
    bool emergency = false;                  // start in download mode
    std::string statePath;                   // NV state saved here after each write
    std::string roamingDir;                  // finished PRL/ERI files saved here
    std::string flashOut;                    // code image as flashed, from address 0
    std::string fontOut;                     // font image as flashed, from its start address
    std::string versionAfterFlash;           // the version text a completed flash leaves; empty: unchanged
};

// The simulated VQX-B410: what it answers to each request in its normal
// diagnostic mode and in its download mode, and the raw boot commands in
// either. It decides what and whether to answer; the transport decides when
// the bytes go on the line.
class SimHandset {
public:
    using Clock = std::chrono::steady_clock;
    enum class Mode { Normal, Download };

    struct Reaction {
        std::vector<uint8_t> bytes; // what goes on the line; empty for nothing
        Clock::duration delay{};    // time the handset needs before answering
        bool hangUp = false;        // the cable is pulled
    };

    SimHandset(SimState& state, FaultPlan& faults, SimLog& log, SimHandsetOptions options);

    Reaction OnInput(const SimInput& input);
    // Saves what must survive the run: flashed images and the NV state.
    void Finish();

    Mode CurrentMode() const { return m_mode; }
    bool Restarting() const { return Clock::now() < m_quietUntil; }
    // When the restart under way ends.
    Clock::time_point BackAt() const { return m_quietUntil; }
    bool Offline() const { return m_offline; }
    const SimFlashLoader& Loader() const { return m_loader; }
    const RoamingAssembler& Roaming() const { return m_roaming; }

private:
    struct Answer {
        std::vector<uint8_t> payload;
        bool raw = false;     // not framed (AT replies, boot loader replies)
        bool flagged = false; // framed with a leading flag (download mode)
        Clock::duration delay{};
        nlohmann::json fields = nlohmann::json::object();
    };

    std::optional<Answer> HandleNormal(const std::vector<uint8_t>& request, bool refusePiece);
    std::optional<Answer> HandleDownload(const std::vector<uint8_t>& request);
    static Answer HandleBoot(int code);
    std::optional<Answer> HandleAt(const std::string& line) const;

    Answer VersionAnswer() const;
    Answer StatusAnswer() const;
    Answer NvAnswer(const std::vector<uint8_t>& request);
    Answer ModeControlAnswer(const std::vector<uint8_t>& request);
    Answer UnlockAnswer(const std::vector<uint8_t>& request, bool accepted);
    Answer RoamingAnswer(const std::vector<uint8_t>& request, bool refuse);
    static Answer ErrorAnswer(uint8_t error, const std::vector<uint8_t>& request);

    void Restart(Mode mode);
    void SaveState();
    void SaveRoamingFile(RoamingAssembler::FileKind kind, int nam);
    void WriteFlashFiles();
    std::vector<uint8_t> Encode(const Answer& answer, bool corrupt) const;
    static nlohmann::json DescribeRequest(const std::vector<uint8_t>& request);
    void LogInput(const SimInput& input, int code);

    SimState& m_state;
    FaultPlan& m_faults;
    SimLog& m_log;
    SimHandsetOptions m_options;
    SimFlashLoader m_loader;
    RoamingAssembler m_roaming;
    Mode m_mode = Mode::Normal;
    Clock::time_point m_quietUntil{};
    bool m_unlocked = false;
    bool m_offline = false;
};
