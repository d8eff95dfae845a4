#include <gtest/gtest.h>

#include "nv/NVList.h"
#include "nv/NvDoc.h"
#include "nv/SettingsCatalogue.h"

using namespace corvanetov;

namespace {
SettingsValues Values(const std::string& lock, const std::string& uim)
{
    SettingsValues values;
    values.lockCode = lock;
    values.uimLockCode = uim;
    for (int k = 0; k < nv::kNetworkLockEntries; ++k)
        values.sids[k] = std::to_string(100 + k);
    return values;
}

std::string Field(const NvDoc& doc, size_t offset, size_t size)
{
    std::string bytes(size, '\0');
    doc.Read(offset, reinterpret_cast<uint8_t*>(bytes.data()), size);
    return bytes;
}
} // namespace

// Each refused value is named with its row and the row's rule, and a store
// with one refused value stores none of them.
TEST(SettingsCatalogue, ValidatedStoreRefusesEveryBadCodeAndStoresNothing)
{
    struct Case {
        const char* lock;
        const char* uim;
        const char* message;
    } cases[] = {
        {"1234", "5678", ""},
        {"12345678", "0000", ""},
        {"123", "5678", "Lock Code takes 4 to 8 digits; \"123\": Enter Lock Code(more than 4 digits)"},
        {"", "5678", "Lock Code takes 4 to 8 digits; \"\": Enter Lock Code(more than 4 digits)"},
        {"12 34", "5678", "Lock Code takes 4 to 8 digits; \"12 34\": Don't use Blank character in Lock-code"},
        {"12a4", "5678", "Lock Code takes 4 to 8 digits; \"12a4\": Only input Number! check again! "},
        {"a 12", "5678", "Lock Code takes 4 to 8 digits; \"a 12\": Only input Number! check again! "}, // the first fault wins
        {"123456789", "5678", "Lock Code takes 4 to 8 digits; \"123456789\": 9 characters are more than the handset keeps"},
        {"1234", "56 7", "UIM Lock Code takes 4 to 8 digits; \"56 7\": Don't use Blank character in UIM Lock-code"},
        {"1234", "567", "UIM Lock Code takes 4 to 8 digits; \"567\": Enter UIM Lock Code(more than 4 digits)"},
        {"123", "56x8",
         "Lock Code takes 4 to 8 digits; \"123\": Enter Lock Code(more than 4 digits)\n"
         "UIM Lock Code takes 4 to 8 digits; \"56x8\": Only input Number! check again! "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.lock) + " / " + c.uim);
        NvDoc doc;
        const uint8_t oldLock[9] = {8, '9', '9', '9', '9', '9', '9', '9', '9'};
        doc.Write(nv::kLockCodeLengthOffset, oldLock, sizeof oldLock);
        doc.Write(nv::kUimLockCodeOffset, oldLock + 1, 8);

        EXPECT_EQ(SettingsCatalogue::ValidatedStore(Values(c.lock, c.uim), doc), c.message);
        EXPECT_EQ(doc.ModelCode(), nv::kModelCode);
        bool passed = std::string(c.message).empty();
        EXPECT_EQ(Field(doc, nv::kLockCodeOffset, 8) != "99999999", passed);
        EXPECT_EQ(Field(doc, nv::kUimLockCodeOffset, 8) != "99999999", passed);
        EXPECT_EQ(doc.ReadU16(nv::kSidOffset) == 100, passed);
    }
}

TEST(SettingsCatalogue, StoredCodeCarriesItsLengthAndNothingOfTheOldCode)
{
    NvDoc doc;
    ASSERT_EQ(SettingsCatalogue::ValidatedStore(Values("12345678", "87654321"), doc), "");
    ASSERT_EQ(SettingsCatalogue::ValidatedStore(Values("4321", "1111"), doc), "");
    EXPECT_EQ(Field(doc, nv::kLockCodeLengthOffset, 9), std::string("\x04" "4321\0\0\0\0", 9));
    EXPECT_EQ(Field(doc, nv::kUimLockCodeOffset, 8), std::string("1111\0\0\0\0", 8));
    SettingsValues shown = SettingsCatalogue::Fill(doc);
    EXPECT_EQ(shown.lockCode, "4321");
    EXPECT_EQ(shown.uimLockCode, "1111");
}

// A SID goes to the handset as typed or not at all: never cut to its
// leading digits, never dropped while the old value stays.
TEST(SettingsCatalogue, SidCellsAreStoredAsShownOrRefused)
{
    const std::string rule = "HOME SID for Network Lock 20 takes a whole number from 0 to ";
    struct Case {
        const char* cell;
        SettingsCatalogue::Rules rules;
        std::string refusal; // empty: stored
    } cases[] = {
        {"32767", SettingsCatalogue::Rules::Write, ""},
        {"0", SettingsCatalogue::Rules::Write, ""},
        {"00012", SettingsCatalogue::Rules::Write, ""},
        {"32768", SettingsCatalogue::Rules::Write, rule + "32767; \"32768\": out of range"},
        {"40000", SettingsCatalogue::Rules::Write, rule + "32767; \"40000\": out of range"},
        {"40000", SettingsCatalogue::Rules::Storable, ""},
        {"65536", SettingsCatalogue::Rules::Storable, rule + "65535; \"65536\": out of range"},
        {"12ab", SettingsCatalogue::Rules::Write, rule + "32767; \"12ab\": not a whole number"},
        {"12ab", SettingsCatalogue::Rules::Storable, rule + "65535; \"12ab\": not a whole number"},
        {"-1", SettingsCatalogue::Rules::Write, rule + "32767; \"-1\": not a whole number"},
        {"", SettingsCatalogue::Rules::Write, rule + "32767; \"\": not a whole number"},
        {" 12", SettingsCatalogue::Rules::Write, rule + "32767; \" 12\": not a whole number"},
        {"99999999999999999999", SettingsCatalogue::Rules::Write, rule + "32767; \"99999999999999999999\": out of range"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cell);
        NvDoc doc;
        doc.WriteU16(nv::kSidOffset + 4 * 19, 7);
        SettingsValues values = Values("1234", "1234");
        values.sids[19] = c.cell;
        const std::string fault = c.rules == SettingsCatalogue::Rules::Write ? SettingsCatalogue::ValidatedStore(values, doc)
                                                                             : SettingsCatalogue::PlainStore(values, doc, true);
        EXPECT_EQ(fault, c.refusal);
        const auto refusals = SettingsCatalogue::Refusals(values, c.rules);
        ASSERT_EQ(refusals.size(), c.refusal.empty() ? 0u : 1u);
        if (!refusals.empty()) {
            EXPECT_EQ(refusals[0].row, 22);
        }
        const uint16_t stored = doc.ReadU16(nv::kSidOffset + 4 * 19);
        EXPECT_EQ(stored, c.refusal.empty() ? std::stoul(c.cell) : 7u);
        EXPECT_EQ(doc.ReadU16(nv::kSidOffset) == 100, c.refusal.empty()) << "the other SIDs go with it or not at all";
    }
}

TEST(SettingsCatalogue, ChangedRowsAreTheCellsThatDiffer)
{
    SettingsValues before = Values("1234", "5678");
    SettingsValues after = before;
    EXPECT_TRUE(SettingsCatalogue::ChangedRows(before, after).empty());
    after.uimLockCode = "8765";
    after.sids[0] = "4139";
    after.sids[19] = "0119"; // another text of the same number is still a change
    EXPECT_EQ(SettingsCatalogue::ChangedRows(before, after), (std::vector<int>{2, 3, 22}));
    EXPECT_EQ(SettingsCatalogue::Value(after, 22), "0119");
}

TEST(SettingsCatalogue, PlainStoreTakesValuesOnlyForARequestedGroupAndWithoutRules)
{
    NvDoc doc;
    EXPECT_EQ(SettingsCatalogue::PlainStore(Values("12", "x"), doc, false), "");
    EXPECT_EQ(doc.ModelCode(), nv::kModelCode);
    EXPECT_EQ(SettingsCatalogue::Fill(doc).lockCode, "");

    EXPECT_EQ(SettingsCatalogue::PlainStore(Values("12", "x"), doc, true), "");
    SettingsValues shown = SettingsCatalogue::Fill(doc);
    EXPECT_EQ(shown.lockCode, "12");
    EXPECT_EQ(shown.uimLockCode, "x");
    EXPECT_EQ(shown.sids[0], "100");
}

TEST(SettingsCatalogue, RowsAreNamedAsTheGridShowsThem)
{
    EXPECT_EQ(SettingsCatalogue::RowName(1), "Lock Code");
    EXPECT_EQ(SettingsCatalogue::RowName(2), "UIM Lock Code");
    EXPECT_EQ(SettingsCatalogue::RowName(3), "HOME SID for Network Lock 1");
    EXPECT_EQ(SettingsCatalogue::RowName(22), "HOME SID for Network Lock 20");
    EXPECT_EQ(SettingsCatalogue::RowName(23), "");
}

TEST(SettingsCatalogue, TheGroupTravelsAsItsThreeItemsInOrder)
{
    NVList list;
    list.Add(2045, 1); // what an earlier pass left goes
    EXPECT_EQ(SettingsCatalogue::QueueNamItems(list), 3);
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Next(), 82);
    EXPECT_EQ(list.CurrentIndex(), 0);
    EXPECT_EQ(list.Next(), 2071);
    EXPECT_EQ(list.Next(), 2073);
    EXPECT_EQ(list.Next(), -1);
}
