#include <gtest/gtest.h>

#include "engine/NvItemData.h"
#include "nv/NvDoc.h"

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
