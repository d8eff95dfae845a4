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

TEST(SettingsCatalogue, ValidatedStoreChecksLockCodeBeforeUimLockCode)
{
    struct Case {
        const char* lock;
        const char* uim;
        const char* message;
        bool lockStored;
    } cases[] = {
        {"1234", "5678", "", true},
        {"12345678", "0000", "", true},
        {"123", "5678", "Enter Lock Code(more than 4 digits)", false},
        {"", "5678", "Enter Lock Code(more than 4 digits)", false},
        {"12 34", "5678", "Don't use Blank character in Lock-code", false},
        {"12a4", "5678", "Only input Number! check again! ", false},
        {"a 12", "5678", "Only input Number! check again! ", false}, // the first fault wins
        {"1234", "56 7", "Don't use Blank character in UIM Lock-code", true},
        {"1234", "567", "Enter UIM Lock Code(more than 4 digits)", true},
        {"1234", "56x8", "Only input Number! check again! ", true},
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
        EXPECT_EQ(Field(doc, nv::kLockCodeOffset, 8) != "99999999", c.lockStored);
        EXPECT_EQ(Field(doc, nv::kUimLockCodeOffset, 8) != "99999999", passed);
        EXPECT_EQ(doc.ReadU16(nv::kSidOffset) == 100, passed); // the SIDs come last
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

TEST(SettingsCatalogue, SidCellsOutsideTheRangeKeepTheOldValue)
{
    struct Case {
        const char* cell;
        uint16_t stored;
    } cases[] = {{"32767", 32767}, {"32768", 7}, {"-1", 7}, {"", 0}, {"abc", 0}, {"12ab", 12}, {"99999999999999999999", 7}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cell);
        NvDoc doc;
        doc.WriteU16(nv::kSidOffset + 4 * 19, 7);
        SettingsValues values = Values("1234", "1234");
        values.sids[19] = c.cell;
        ASSERT_EQ(SettingsCatalogue::ValidatedStore(values, doc), "");
        EXPECT_EQ(doc.ReadU16(nv::kSidOffset + 4 * 19), c.stored);
        EXPECT_EQ(SettingsCatalogue::Fill(doc).sids[19], std::to_string(c.stored));
    }
}

TEST(SettingsCatalogue, PlainStoreTakesValuesOnlyForARequestedGroupAndWithoutRules)
{
    NvDoc doc;
    SettingsCatalogue::PlainStore(Values("12", "x"), doc, false);
    EXPECT_EQ(doc.ModelCode(), nv::kModelCode);
    EXPECT_EQ(SettingsCatalogue::Fill(doc).lockCode, "");

    SettingsCatalogue::PlainStore(Values("12", "x"), doc, true);
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
    EXPECT_EQ(SettingsCatalogue::CellLimit(1), 8u);
    EXPECT_EQ(SettingsCatalogue::CellLimit(22), 5u);
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
