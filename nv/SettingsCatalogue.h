#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

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
    // The text of a row's cell among the values (rows kLockCodeRow to kItemRows).
    static const std::string& Value(const SettingsValues& values, int row);
    static std::string& Value(SettingsValues& values, int row);

    // Empties the list and queues the NV items that carry the group to and
    // from the handset, in their order; returns how many it queued.
    static int32_t QueueNamItems(NVList& list);

    static SettingsValues Fill(const NvDoc& doc);

    // Which rules a value must pass: a write's, or only that the settings
    // image holds it as it stands (a save takes codes a write refuses).
    enum class Rules { Write, Storable };
    // A cell refused before a store, and why: the row's name, what the row
    // takes and what the cell holds.
    struct Refusal {
        int row = 0;
        std::string message;
    };
    // Every row whose cell the rules refuse: a value is never shortened,
    // rounded or skipped on its way into the image.
    static std::vector<Refusal> Refusals(const SettingsValues& values, Rules rules);
    // Empty when the row takes the text, else the row's refusal message.
    static std::string CheckRow(int row, const std::string& text, Rules rules = Rules::Write);
    // The refusals' messages, a line each.
    static std::string Joined(const std::vector<Refusal>& refusals);
    // The rows whose cells differ between two sets of values.
    static std::vector<int> ChangedRows(const SettingsValues& before, const SettingsValues& after);

    // The store before a write to the handset. Checks every value first and
    // stores nothing when one is refused, returning the refusals' messages a
    // line each (empty when every value was taken).
    static std::string ValidatedStore(const SettingsValues& values, NvDoc& doc);
    // The store before a save: the model code always, the values only when
    // the group was requested, and without the codes' rules; like the store
    // before a write, nothing or everything.
    static std::string PlainStore(const SettingsValues& values, NvDoc& doc, bool groupRequested);

private:
    // A code's or a SID's first fault, or empty when it is good.
    static std::string CodeFault(int row, const std::string& code, Rules rules);
    static std::string SidFault(const std::string& text, Rules rules);
    static int SidMax(Rules rules);
    static std::string Rule(int row, Rules rules);
    static void StoreLockCode(const std::string& code, NvDoc& doc);
    static void StoreUimLockCode(const std::string& code, NvDoc& doc);
    static void StoreSids(const SettingsValues& values, NvDoc& doc);
    static std::string CodeText(const NvDoc& doc, size_t offset, size_t size);
};

} // namespace corvanetov
