#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "sim/SimConstants.h"

// What the simulated handset is: its identity and its NV items. Loaded from
// and saved to a JSON state file, so that a second run continues with the
// settings a tool wrote in the first.
class SimState {
public:
    using NvData = std::array<uint8_t, sim::kNvDataSize>;

    SimState();

    // Reads a state file; a missing file leaves the defaults. False with a
    // reason when the file exists but cannot be used.
    bool Load(const std::string& path, std::string& error);
    // Writes the whole state atomically (temporary file, then rename).
    bool Save(const std::string& path, std::string& error) const;

    uint32_t Esn() const { return m_esn; }
    void SetEsn(uint32_t esn) { m_esn = esn; }
    const std::string& PhoneNumber() const { return m_phoneNumber; }
    // False when the text is not a 7- or 10-digit number (blanks, dashes and
    // brackets allowed) or empty.
    bool SetPhoneNumber(const std::string& number);
    const std::string& CompileDate() const { return m_compileDate; }
    void SetCompileDate(const std::string& date) { m_compileDate = date.substr(0, sim::kVersionDateSize); }
    const std::string& CompileTime() const { return m_compileTime; }
    const std::string& VersionText() const { return m_versionText; }
    void SetVersionText(const std::string& text) { m_versionText = text.substr(0, sim::kVersionTextMax); }
    uint8_t CaiRevision() const { return m_caiRevision; }
    void SetCaiRevision(uint8_t value) { m_caiRevision = value; }
    uint8_t ModelCode() const { return m_modelCode; }
    void SetModelCode(uint8_t code) { m_modelCode = code; }
    const std::string& Msl() const { return m_msl; }
    void SetMsl(const std::string& msl) { m_msl = msl.substr(0, sim::kSpcCodeSize); }

    // Typed views of the seeded NV items.
    void SetLockCode(const std::string& code);
    std::string LockCode() const;
    void SetUimLockCode(const std::string& code);
    std::string UimLockCode() const;
    void SetHardwareVersion(const std::string& text);
    std::string HardwareVersion() const;
    void SetHomeSids(const std::vector<uint16_t>& sids);
    std::vector<uint16_t> HomeSids() const;

    // MIN1 and MIN2 of the phone number, encoded as the air interface does.
    uint32_t Min1() const { return m_min1; }
    uint16_t Min2() const { return m_min2; }

    const NvData* Item(uint16_t item) const;
    void WriteItem(uint16_t item, const uint8_t* data);

    // Encodes "(AAA) NNN-NNNN" or "NNN-NNNN" into MIN1/MIN2; false when it
    // is not such a number.
    static bool EncodeMin(const std::string& number, uint32_t& min1, uint16_t& min2);

private:
    uint32_t m_esn = sim::kDefaultEsn;
    std::string m_phoneNumber;
    uint32_t m_min1 = 0;
    uint16_t m_min2 = 0;
    std::string m_compileDate = sim::kDefaultCompileDate;
    std::string m_compileTime = sim::kDefaultCompileTime;
    std::string m_versionText = sim::kDefaultVersionText;
    uint8_t m_caiRevision = sim::kDefaultCaiRevision;
    uint8_t m_modelCode = sim::kModelCode;
    std::string m_msl = sim::kDefaultMsl;
    std::map<uint16_t, NvData> m_items;
};
