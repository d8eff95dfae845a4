#include "nv/SettingsCatalogue.h"

#include <algorithm>
#include <utility>
#include <cstring>

#include "nv/NVList.h"
#include "nv/NvDoc.h"

namespace corvanetov {

namespace {
constexpr size_t kSidDigits = 5;
constexpr uint16_t kNamItems[] = {nv::kItemLockCode, nv::kItemUimLockCode, nv::kItemNetworkLock};

size_t SidOffset(int index)
{
    return nv::kSidOffset + nv::kNetworkLockEntrySize * size_t(index);
}

bool IsBlank(char c)
{
    return c == ' ';
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool AllDigits(const std::string& text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), IsDigit);
}
} // namespace

std::string SettingsCatalogue::RowName(int row)
{
    if (row == kLockCodeRow)
        return "Lock Code";
    if (row == kUimLockCodeRow)
        return "UIM Lock Code";
    if (row >= kFirstSidRow && row <= kItemRows)
        return "HOME SID for Network Lock " + std::to_string(row - kFirstSidRow + 1);
    return {};
}

const std::string& SettingsCatalogue::Value(const SettingsValues& values, int row)
{
    if (row == kLockCodeRow)
        return values.lockCode;
    if (row == kUimLockCodeRow)
        return values.uimLockCode;
    return values.sids.at(size_t(row - kFirstSidRow));
}

std::string& SettingsCatalogue::Value(SettingsValues& values, int row)
{
    return const_cast<std::string&>(Value(std::as_const(values), row));
}

int32_t SettingsCatalogue::QueueNamItems(NVList& list)
{
    list.Reset();
    int32_t count = 0;
    for (uint16_t item : kNamItems)
        count += list.Add(item, 0) ? 1 : 0;
    return count;
}

std::string SettingsCatalogue::CodeText(const NvDoc& doc, size_t offset, size_t size)
{
    std::string text(size, '\0');
    doc.Read(offset, reinterpret_cast<uint8_t*>(text.data()), size);
    text.resize(std::strlen(text.c_str()));
    return text;
}

SettingsValues SettingsCatalogue::Fill(const NvDoc& doc)
{
    SettingsValues values;
    values.lockCode = CodeText(doc, nv::kLockCodeOffset, nv::kLockCodeSize);
    values.uimLockCode = CodeText(doc, nv::kUimLockCodeOffset, nv::kUimLockCodeSize);
    for (int k = 0; k < nv::kNetworkLockEntries; ++k)
        values.sids[size_t(k)] = std::to_string(doc.ReadU16(SidOffset(k)));
    return values;
}

std::string SettingsCatalogue::CodeFault(int row, const std::string& code, Rules rules)
{
    if (code.size() > nv::kLockCodeSize)
        return std::to_string(code.size()) + " characters are more than the handset keeps";
    if (rules == Rules::Storable)
        return {};
    const bool lock = row == kLockCodeRow;
    for (char c : code) {
        if (IsBlank(c))
            return lock ? nv::kLockCodeBlank : nv::kUimLockCodeBlank;
        if (!IsDigit(c))
            return nv::kOnlyNumbers;
    }
    if (code.size() < nv::kMinCodeDigits)
        return lock ? nv::kLockCodeShort : nv::kUimLockCodeShort;
    return {};
}

// A settings image holds any 16-bit SID (a handset may have sent one); a
// write takes only the handset's range.
int SettingsCatalogue::SidMax(Rules rules)
{
    return rules == Rules::Write ? nv::kSidMax : UINT16_MAX;
}

std::string SettingsCatalogue::SidFault(const std::string& text, Rules rules)
{
    if (!AllDigits(text))
        return "not a whole number";
    if (text.size() > kSidDigits || std::stoi(text) > SidMax(rules))
        return "out of range";
    return {};
}

std::string SettingsCatalogue::Rule(int row, Rules rules)
{
    if (row == kLockCodeRow || row == kUimLockCodeRow)
        return std::to_string(nv::kMinCodeDigits) + " to " + std::to_string(nv::kLockCodeSize) + " digits";
    return "a whole number from 0 to " + std::to_string(SidMax(rules));
}

std::string SettingsCatalogue::CheckRow(int row, const std::string& text, Rules rules)
{
    if (row < kLockCodeRow || row > kItemRows)
        return {};
    const std::string fault = row < kFirstSidRow ? CodeFault(row, text, rules) : SidFault(text, rules);
    if (fault.empty())
        return {};
    return RowName(row) + " takes " + Rule(row, rules) + "; \"" + text + "\": " + fault;
}

std::vector<SettingsCatalogue::Refusal> SettingsCatalogue::Refusals(const SettingsValues& values, Rules rules)
{
    std::vector<Refusal> refusals;
    for (int row = kLockCodeRow; row <= kItemRows; ++row)
        if (std::string message = CheckRow(row, Value(values, row), rules); !message.empty())
            refusals.push_back({row, std::move(message)});
    return refusals;
}

std::vector<int> SettingsCatalogue::ChangedRows(const SettingsValues& before, const SettingsValues& after)
{
    std::vector<int> rows;
    for (int row = kLockCodeRow; row <= kItemRows; ++row)
        if (Value(before, row) != Value(after, row))
            rows.push_back(row);
    return rows;
}

// The count byte carries the number of characters and the bytes after them
// are cleared, so a handset receives exactly the code typed and a shorter
// code never keeps a character of the one before it.
void SettingsCatalogue::StoreLockCode(const std::string& code, NvDoc& doc)
{
    uint8_t item[nv::kLockCodeItemSize] = {};
    size_t length = std::min(code.size(), nv::kLockCodeSize);
    item[0] = uint8_t(length);
    std::memcpy(item + 1, code.data(), length);
    doc.Write(nv::kLockCodeLengthOffset, item, sizeof item);
}

void SettingsCatalogue::StoreUimLockCode(const std::string& code, NvDoc& doc)
{
    uint8_t field[nv::kUimLockCodeSize] = {};
    std::memcpy(field, code.data(), std::min(code.size(), sizeof field));
    doc.Write(nv::kUimLockCodeOffset, field, sizeof field);
}

// Every store is checked first, so each SID is a number the field holds.
void SettingsCatalogue::StoreSids(const SettingsValues& values, NvDoc& doc)
{
    for (int k = 0; k < nv::kNetworkLockEntries; ++k)
        doc.WriteU16(SidOffset(k), uint16_t(std::stoi(values.sids[size_t(k)])));
}

std::string SettingsCatalogue::Joined(const std::vector<Refusal>& refusals)
{
    std::string messages;
    for (const Refusal& refusal : refusals)
        messages += (messages.empty() ? "" : "\n") + refusal.message;
    return messages;
}

std::string SettingsCatalogue::ValidatedStore(const SettingsValues& values, NvDoc& doc)
{
    doc.StampModelCode();
    if (std::string messages = Joined(Refusals(values, Rules::Write)); !messages.empty())
        return messages;
    StoreLockCode(values.lockCode, doc);
    StoreUimLockCode(values.uimLockCode, doc);
    StoreSids(values, doc);
    return {};
}

std::string SettingsCatalogue::PlainStore(const SettingsValues& values, NvDoc& doc, bool groupRequested)
{
    doc.StampModelCode();
    if (!groupRequested)
        return {};
    if (std::string messages = Joined(Refusals(values, Rules::Storable)); !messages.empty())
        return messages;
    StoreLockCode(values.lockCode, doc);
    StoreUimLockCode(values.uimLockCode, doc);
    StoreSids(values, doc);
    return {};
}

} // namespace corvanetov
