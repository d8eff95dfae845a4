#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/FlashMemory.h"

class FaultPlan;

// The handset's download mode: the loader's start, version check, copy,
// mode, jump, erase and block write commands, programming a FlashMemory.
// Addresses of erase and block requests count from the base that the last
// start request named; the boot part's marker base means address 0, so the
// code image lands in flash as it lies in its file.
class SimFlashLoader {
public:
    struct Outcome {
        std::optional<uint8_t> status; // none: the request is ignored
        bool erase = false;            // answered after the erase time
        bool reboot = false;           // the jump that leaves download mode
    };

    explicit SimFlashLoader(FaultPlan& faults) : m_faults(faults) {}

    // A new stay in download mode: block counting starts again.
    void Restart();
    Outcome Handle(const std::vector<uint8_t>& request);
    static nlohmann::json Describe(const std::vector<uint8_t>& request);

    const FlashMemory& Flash() const { return m_flash; }
    // Where the last start request with a base other than the code's pointed.
    uint64_t FontBase() const { return m_fontBase; }

private:
    uint8_t Start(const std::vector<uint8_t>& request);
    uint8_t Erase(const std::vector<uint8_t>& request);
    uint8_t WriteBlock(const std::vector<uint8_t>& request);

    FaultPlan& m_faults;
    FlashMemory m_flash;
    uint64_t m_base = 0;
    uint64_t m_fontBase = 0;
    unsigned m_blocksSeen = 0;
    bool m_loaderArmed = false; // copy and mode done: the next jump starts the loader
};
