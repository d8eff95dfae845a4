#include "sim/SimState.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>
#include <stdexcept>

#include "platform/FileSave.h"

using sim::kNvDataSize;

namespace {
// A MIN digit group: each decimal digit stored as digit - 1, with 0 as 9.
uint32_t EncodeDigitGroup(const std::string& digits, size_t from)
{
    uint32_t value = 0;
    for (size_t i = from; i < from + 3; ++i) {
        int digit = digits[i] - '0';
        value = value * 10 + (digit == 0 ? 9 : digit - 1);
    }
    return value;
}

std::string ToHex(const uint8_t* data, size_t count)
{
    std::string text;
    char item[3];
    for (size_t i = 0; i < count; ++i) {
        std::snprintf(item, sizeof item, "%02X", data[i]);
        text += item;
    }
    return text;
}

bool FromHex(const std::string& text, uint8_t* data, size_t capacity, size_t& count)
{
    count = text.size() / 2;
    if (text.size() % 2 != 0 || count > capacity)
        return false;
    for (size_t i = 0; i < text.size(); i += 2) {
        if (!std::isxdigit(static_cast<unsigned char>(text[i])) || !std::isxdigit(static_cast<unsigned char>(text[i + 1])))
            return false;
        data[i / 2] = static_cast<uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16));
    }
    return true;
}

// A number field as a whole number within its type; a float, a negative or a
// larger number refuses the file rather than being converted regardless.
template <class T>
T WholeNumber(const nlohmann::json& value, const std::string& name)
{
    if (!value.is_number_unsigned() || value.get<uint64_t>() > std::numeric_limits<T>::max())
        throw std::invalid_argument(name + " is not a whole number from 0 to " + std::to_string(std::numeric_limits<T>::max()));
    return static_cast<T>(value.get<uint64_t>());
}

std::vector<uint16_t> Sids(const nlohmann::json& value)
{
    if (!value.is_array())
        throw std::invalid_argument("sids is not a list of numbers");
    std::vector<uint16_t> sids;
    for (const nlohmann::json& sid : value)
        sids.push_back(WholeNumber<uint16_t>(sid, "sids"));
    return sids;
}

bool FromHex(const std::string& text, SimState::NvData& data)
{
    data.fill(0);
    size_t count = 0;
    return FromHex(text, data.data(), data.size(), count);
}

// The handset's texts are bytes: what a tool wrote, or what an option gave.
// Plain ASCII stays readable; anything else is kept as hexadecimal, which
// JSON (UTF-8 only) can always hold.
constexpr char kHexKey[] = "hex";

nlohmann::json ByteField(const std::string& bytes)
{
    bool plain = std::all_of(bytes.begin(), bytes.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
    if (plain)
        return bytes;
    return {{kHexKey, ToHex(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size())}};
}

// A byte field as ByteField writes it, or as text (state files of earlier
// runs, and files written by hand).
std::string ByteFieldValue(const nlohmann::json& value)
{
    if (value.is_string())
        return value.get<std::string>();
    std::string hex = value.at(kHexKey).get<std::string>();
    std::string bytes(hex.size() / 2, '\0');
    size_t count = 0;
    if (!FromHex(hex, reinterpret_cast<uint8_t*>(bytes.data()), bytes.size(), count))
        throw std::invalid_argument("\"" + hex + "\" is not hexadecimal");
    return bytes;
}

std::string TextOf(const uint8_t* data, size_t max)
{
    return std::string(reinterpret_cast<const char*>(data), std::find(data, data + max, 0) - data);
}
} // namespace

SimState::SimState()
{
    SetPhoneNumber(sim::kDefaultPhoneNumber);
    SetLockCode(sim::kDefaultLockCode);
    SetUimLockCode(sim::kDefaultUimLockCode);
    SetHardwareVersion(sim::kDefaultHardwareVersion);
    SetHomeSids({});
    NvData zero{};
    WriteItem(sim::kItemResetFlag, zero.data());
}

bool SimState::EncodeMin(const std::string& number, uint32_t& min1, uint16_t& min2)
{
    std::string digits;
    for (char c : number) {
        if (std::isdigit(static_cast<unsigned char>(c)))
            digits += c;
        else if (c != ' ' && c != '-' && c != '(' && c != ')')
            return false;
    }
    min1 = 0;
    min2 = 0;
    if (digits.empty())
        return true;
    if (digits.size() != 7 && digits.size() != 10)
        return false;
    size_t local = digits.size() - 7;
    if (local)
        min2 = static_cast<uint16_t>(EncodeDigitGroup(digits, 0));
    int thousands = digits[local + 3] - '0';
    min1 = EncodeDigitGroup(digits, local) << 14 | static_cast<uint32_t>(thousands == 0 ? 10 : thousands) << 10
        | EncodeDigitGroup(digits, local + 4);
    return true;
}

bool SimState::SetPhoneNumber(const std::string& number)
{
    uint32_t min1 = 0;
    uint16_t min2 = 0;
    if (!EncodeMin(number, min1, min2))
        return false;
    m_phoneNumber = number;
    m_min1 = min1;
    m_min2 = min2;
    return true;
}

const SimState::NvData* SimState::Item(uint16_t item) const
{
    auto found = m_items.find(item);
    return found == m_items.end() ? nullptr : &found->second;
}

void SimState::WriteItem(uint16_t item, const uint8_t* data)
{
    std::copy(data, data + kNvDataSize, m_items[item].begin());
}

void SimState::SetLockCode(const std::string& code)
{
    NvData data{};
    size_t length = std::min(code.size(), sim::kLockCodeMax);
    data[0] = static_cast<uint8_t>(length);
    std::copy_n(code.begin(), length, data.begin() + 1);
    WriteItem(sim::kItemLockCode, data.data());
}

std::string SimState::LockCode() const
{
    const NvData& data = m_items.at(sim::kItemLockCode);
    return std::string(reinterpret_cast<const char*>(&data[1]), std::min<size_t>(data[0], sim::kLockCodeMax));
}

void SimState::SetUimLockCode(const std::string& code)
{
    NvData data{};
    std::copy_n(code.begin(), std::min(code.size(), sim::kUimLockCodeSize), data.begin());
    WriteItem(sim::kItemUimLockCode, data.data());
}

std::string SimState::UimLockCode() const
{
    return TextOf(m_items.at(sim::kItemUimLockCode).data(), sim::kUimLockCodeSize);
}

void SimState::SetHardwareVersion(const std::string& text)
{
    NvData data{};
    std::copy_n(text.begin(), std::min(text.size(), sim::kHardwareVersionSize), data.begin());
    WriteItem(sim::kItemHardwareVersion, data.data());
}

std::string SimState::HardwareVersion() const
{
    return TextOf(m_items.at(sim::kItemHardwareVersion).data(), sim::kHardwareVersionSize);
}

void SimState::SetHomeSids(const std::vector<uint16_t>& sids)
{
    NvData data{};
    for (size_t i = 0; i < std::min(sids.size(), sim::kHomeSidCount); ++i) {
        data[1 + i * sim::kHomeSidEntrySize] = sids[i] & 0xFF;
        data[2 + i * sim::kHomeSidEntrySize] = sids[i] >> 8;
    }
    WriteItem(sim::kItemHomeSids, data.data());
}

std::vector<uint16_t> SimState::HomeSids() const
{
    const NvData& data = m_items.at(sim::kItemHomeSids);
    std::vector<uint16_t> sids;
    for (size_t i = 0; i < sim::kHomeSidCount; ++i)
        sids.push_back(static_cast<uint16_t>(data[1 + i * sim::kHomeSidEntrySize] | data[2 + i * sim::kHomeSidEntrySize] << 8));
    return sids;
}

bool SimState::Load(const std::string& path, std::string& error)
{
    std::ifstream in(path);
    if (!in)
        return true; // a first run: the file appears with the first save
    try {
        nlohmann::json json = nlohmann::json::parse(in);
        if (json.contains("esn"))
            m_esn = static_cast<uint32_t>(std::stoul(json["esn"].get<std::string>(), nullptr, 16));
        if (json.contains("phone_number") && !SetPhoneNumber(json["phone_number"].get<std::string>())) {
            error = path + ": phone_number is not a 7- or 10-digit number";
            return false;
        }
        if (json.contains("compile_date"))
            SetCompileDate(ByteFieldValue(json["compile_date"]));
        if (json.contains("compile_time"))
            m_compileTime = ByteFieldValue(json["compile_time"]).substr(0, sim::kVersionTimeSize);
        if (json.contains("version"))
            SetVersionText(ByteFieldValue(json["version"]));
        if (json.contains("cai_revision"))
            m_caiRevision = WholeNumber<uint8_t>(json["cai_revision"], "cai_revision");
        if (json.contains("model_code"))
            m_modelCode = WholeNumber<uint8_t>(json["model_code"], "model_code");
        if (json.contains("msl"))
            SetMsl(ByteFieldValue(json["msl"]));
        if (json.contains("hardware_version"))
            SetHardwareVersion(ByteFieldValue(json["hardware_version"]));
        if (json.contains("lock_code"))
            SetLockCode(ByteFieldValue(json["lock_code"]));
        if (json.contains("uim_lock_code"))
            SetUimLockCode(ByteFieldValue(json["uim_lock_code"]));
        if (json.contains("sids"))
            SetHomeSids(Sids(json["sids"]));
        // The raw items are what the handset last stored: they win over the
        // readable fields above.
        nlohmann::json items = json.value("nv", nlohmann::json::object());
        for (auto& [key, value] : items.items()) {
            NvData data{};
            unsigned long item = std::stoul(key);
            if (item > 0xFFFF || !FromHex(value.get<std::string>(), data)) {
                error = path + ": NV item " + key + " is not an item number with up to 128 hex bytes";
                return false;
            }
            WriteItem(static_cast<uint16_t>(item), data.data());
        }
    } catch (const std::exception& e) {
        error = path + ": " + e.what();
        return false;
    }
    return true;
}

bool SimState::Save(const std::string& path, std::string& error) const
{
    char esn[16];
    std::snprintf(esn, sizeof esn, "%08X", m_esn);
    nlohmann::json json = {
        {"esn", esn},
        {"phone_number", m_phoneNumber},
        {"compile_date", ByteField(m_compileDate)},
        {"compile_time", ByteField(m_compileTime)},
        {"version", ByteField(m_versionText)},
        {"cai_revision", m_caiRevision},
        {"model_code", m_modelCode},
        {"msl", ByteField(m_msl)},
        {"hardware_version", ByteField(HardwareVersion())},
        {"lock_code", ByteField(LockCode())},
        {"uim_lock_code", ByteField(UimLockCode())},
        {"sids", HomeSids()},
    };
    nlohmann::json items = nlohmann::json::object();
    for (const auto& [item, data] : m_items) {
        size_t used = data.size();
        while (used > 0 && data[used - 1] == 0)
            --used;
        items[std::to_string(item)] = ToHex(data.data(), used);
    }
    json["nv"] = items;
    std::string text;
    try {
        text = json.dump(2) + '\n';
    } catch (const std::exception& e) {
        error = path + ": " + e.what();
        return false;
    }
    // Whole or not at all, under a temporary name of its own, and the
    // user's alone: the state holds the handset's lock codes.
    return corvanetov::FileSave::Replace(path, text.data(), text.size(), error, corvanetov::FileSave::Sync::None);
}
