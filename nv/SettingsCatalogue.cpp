#include "nv/SettingsCatalogue.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "nv/NVList.h"
#include "nv/NvDoc.h"

namespace corvanetov {

namespace {
constexpr size_t kSidCellLimit = 5;
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

size_t SettingsCatalogue::CellLimit(int row)
{
    if (row == kLockCodeRow)
        return nv::kLockCodeSize;
    if (row == kUimLockCodeRow)
        return nv::kUimLockCodeSize;
    return kSidCellLimit;
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

std::string SettingsCatalogue::CheckCode(const std::string& code, const char* blankMessage, const char* shortMessage)
{
    for (char c : code) {
        if (IsBlank(c))
            return blankMessage;
        if (!IsDigit(c))
            return nv::kOnlyNumbers;
    }
    if (code.size() < nv::kMinCodeDigits)
        return shortMessage;
    return {};
}

std::string SettingsCatalogue::CheckLockCode(const std::string& code)
{
    return CheckCode(code, nv::kLockCodeBlank, nv::kLockCodeShort);
}

std::string SettingsCatalogue::CheckUimLockCode(const std::string& code)
{
    return CheckCode(code, nv::kUimLockCodeBlank, nv::kUimLockCodeShort);
}

int64_t SettingsCatalogue::CellNumber(const std::string& text)
{
    errno = 0;
    long long number = std::strtoll(text.c_str(), nullptr, 10);
    return errno == ERANGE ? (number < 0 ? INT64_MIN : INT64_MAX) : number;
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

void SettingsCatalogue::StoreSids(const SettingsValues& values, NvDoc& doc)
{
    for (int k = 0; k < nv::kNetworkLockEntries; ++k) {
        int64_t sid = CellNumber(values.sids[size_t(k)]);
        if (SidInRange(sid))
            doc.WriteU16(SidOffset(k), uint16_t(sid));
    }
}

std::string SettingsCatalogue::ValidatedStore(const SettingsValues& values, NvDoc& doc)
{
    doc.StampModelCode();
    if (std::string fault = CheckLockCode(values.lockCode); !fault.empty())
        return fault;
    StoreLockCode(values.lockCode, doc);
    if (std::string fault = CheckUimLockCode(values.uimLockCode); !fault.empty())
        return fault;
    StoreUimLockCode(values.uimLockCode, doc);
    StoreSids(values, doc);
    return {};
}

void SettingsCatalogue::PlainStore(const SettingsValues& values, NvDoc& doc, bool groupRequested)
{
    doc.StampModelCode();
    if (!groupRequested)
        return;
    StoreLockCode(values.lockCode, doc);
    StoreUimLockCode(values.uimLockCode, doc);
    StoreSids(values, doc);
}

} // namespace corvanetov
