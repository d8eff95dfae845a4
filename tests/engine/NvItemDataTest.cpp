#include <gtest/gtest.h>

#include "engine/NvItemData.h"
#include "nv/NvDoc.h"

using namespace corvanetov;
using namespace corvanetov::detail;

using Bytes = std::vector<uint8_t>;

TEST(NvItemData, WritesTakeTheItemsPlaceInTheSettingsImage)
{
    NvDoc doc;
    Bytes image(59994, 0);
    for (size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<uint8_t>(i * 7 + 1);
    doc.Load(image.data(), image.size());

    Bytes lock = NvItemData::ForWrite(doc, 82);
    EXPECT_EQ(Bytes(image.begin() + 39, image.begin() + 48), lock) << "the length byte and 8 characters";
    Bytes uim = NvItemData::ForWrite(doc, 2071);
    EXPECT_EQ(Bytes(image.begin() + 59816, image.begin() + 59824), uim);
    Bytes sids = NvItemData::ForWrite(doc, 2073);
    ASSERT_EQ(81u, sids.size());
    EXPECT_EQ(0, sids[0]) << "the first data byte of the SID item is always cleared";
    EXPECT_EQ(Bytes(image.begin() + 59825, image.begin() + 59905), Bytes(sids.begin() + 1, sids.end()));
    EXPECT_TRUE(NvItemData::ForWrite(doc, 408).empty()) << "written as zeros";
    EXPECT_TRUE(NvItemData::ForWrite(doc, 2045).empty()) << "never written";
}

TEST(NvItemData, ReadsLandAtTheItemsPlaceAndNowhereElse)
{
    Bytes answer(128);
    for (size_t i = 0; i < answer.size(); ++i)
        answer[i] = static_cast<uint8_t>(0x80 + i);
    const struct {
        uint16_t item;
        size_t offset;
        size_t size;
    } places[] = {{82, 39, 9}, {2045, 59808, 8}, {2071, 59816, 8}, {2073, 59824, 81}};
    for (const auto& place : places) {
        NvDoc doc;
        ASSERT_TRUE(NvItemData::StoreRead(doc, place.item, answer)) << place.item;
        Bytes image(59994);
        doc.Read(0, image.data(), image.size());
        Bytes expected(59994, 0);
        std::copy_n(answer.begin(), place.size, expected.begin() + place.offset);
        EXPECT_EQ(expected, image) << "item " << place.item << ": its bytes at its place, the rest untouched";
    }
    NvDoc doc;
    EXPECT_FALSE(NvItemData::StoreRead(doc, 408, answer));
    EXPECT_FALSE(NvItemData::StoreRead(doc, 999, answer));
    Bytes image(59994);
    doc.Read(0, image.data(), image.size());
    EXPECT_EQ(Bytes(59994, 0), image) << "an item without a place stores nothing";
}
