#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "nv/NvConstants.h"

namespace corvanetov {

class NVList;
class NvDoc;

// The values of the settings group as a technician sees and types them: the
// texts of the grid's value column (the command line edits the same texts).
struct SettingsValues {
    std::string lockCode;
    std::string uimLockCode;
    std::array<std::string, nv::kNetworkLockEntries> sids;
};

// Which settings this model offers, where each lives in the settings image,
// and the rules a value must pass before it goes to a handset.
class SettingsCatalogue {
public:
    // The rows' names, as the grid and the command line show them.
    static std::string RowName(int row);
    static constexpr int kLockCodeRow = 1;
    static constexpr int kUimLockCodeRow = 2;
    static constexpr int kFirstSidRow = 3;
    static constexpr int kItemRows = kFirstSidRow + nv::kNetworkLockEntries - 1;
    // Longest text each row's cell takes.
    static size_t CellLimit(int row);

    // Empties the list and queues the NV items that carry the group to and
    // from the handset, in their order; returns how many it queued.
    static int32_t QueueNamItems(NVList& list);

    static SettingsValues Fill(const NvDoc& doc);

    // The store before a write to the handset. Checks the codes and stops at
    // the first failure, returning the message the user sees (empty when
    // every value was taken); what was stored before the failure stays.
    static std::string ValidatedStore(const SettingsValues& values, NvDoc& doc);
    // The store before a save: the model code always, the values only when
    // the group was requested, and without the codes' rules.
    static void PlainStore(const SettingsValues& values, NvDoc& doc, bool groupRequested);

    // A code's first fault, or empty when it is good.
    static std::string CheckLockCode(const std::string& code);
    static std::string CheckUimLockCode(const std::string& code);
    // A cell's number as the grid reads it: leading decimal digits, 0 when
    // there are none.
    static int64_t CellNumber(const std::string& text);
    static bool SidInRange(int64_t sid) { return sid >= 0 && sid <= nv::kSidMax; }

private:
    static std::string CheckCode(const std::string& code, const char* blankMessage, const char* shortMessage);
    static void StoreLockCode(const std::string& code, NvDoc& doc);
    static void StoreUimLockCode(const std::string& code, NvDoc& doc);
    static void StoreSids(const SettingsValues& values, NvDoc& doc);
    static std::string CodeText(const NvDoc& doc, size_t offset, size_t size);
};

} // namespace corvanetov
