#pragma once

#include <optional>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "sim/SimHandset.h"
#include "sim/SimTransport.h"

class FaultPlan;
class SimState;

// The options of vqxb410-sim: where its state and records go, who the
// handset is, and which faults it shows.
class SimCommandLine {
public:
    SimCommandLine();

    // Parses argv; an exit code when the program should end now (--help or a
    // bad option), else nothing.
    std::optional<int> Parse(int argc, char** argv);
    // Loads the state file and lays the identity options over it.
    bool LoadState(SimState& state, std::string& error) const;
    bool BuildFaults(FaultPlan& faults, std::string& error) const;

    const SimHandsetOptions& HandsetOptions() const { return m_handset; }
    const SimTransportOptions& TransportOptions() const { return m_transport; }
    const std::string& LogPath() const { return m_logPath; }

private:
    void AddIdentityOptions();
    void AddFaultOptions();
    static bool AddRefusedPieces(const std::vector<std::string>& texts, const char* option, void (FaultPlan::*add)(int, unsigned),
                                 FaultPlan& faults, std::string& error);
    // "N" or "N:CODE" of a block fault, CODE 0xA1 to 0xA3 (0xA1 when left out).
    static bool ParseBlockNak(const char* option, const std::string& text, unsigned& block, uint8_t& code, std::string& error);

    CLI::App m_app;
    SimHandsetOptions m_handset;
    SimTransportOptions m_transport;
    std::string m_logPath;

    std::string m_esn;
    std::string m_phoneNumber;
    std::string m_compileDate;
    std::string m_versionText;
    std::string m_hardwareVersion;
    std::string m_lockCode;
    std::string m_uimLockCode;
    std::vector<unsigned> m_sids;
    std::string m_msl;
    int m_modelCode = -1;
    int m_caiRevision = -1;

    std::vector<std::string> m_drop;
    std::vector<std::string> m_dropFrom;
    std::vector<std::string> m_corrupt;
    std::vector<std::string> m_hangUp;
    std::vector<std::string> m_refusePiece;
    std::vector<std::string> m_corruptFrom;
    std::vector<std::string> m_refusePieceFrom;
    std::vector<std::string> m_rejectFrom;
    std::vector<std::string> m_swapFrom;
    std::string m_nakBlock;
    std::string m_nakFrom;
    bool m_refuseMsl = false;
    bool m_refusePassword = false;
    bool m_silent = false;
};
