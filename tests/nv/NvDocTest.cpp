#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "nv/NvDoc.h"

using namespace corvanetov;

TEST(NvDoc, StartsZeroedWithEmptyTexts)
{
    NvDoc doc;
    NvDoc::Image image = doc.Snapshot();
    EXPECT_EQ(image.size(), 59994u);
    EXPECT_TRUE(std::all_of(image.begin(), image.end(), [](uint8_t b) { return b == 0; }));
    for (int i = 0; i < nv::kPhoneTextCount; ++i)
        EXPECT_EQ(doc.GetText(i), "");
}

TEST(NvDoc, FieldsLieAtTheirOffsetsLittleEndian)
{
    NvDoc doc;
    doc.StampModelCode();
    EXPECT_EQ(doc.ModelCode(), 147);
    const uint8_t lockCode[9] = {3, '1', '2', '3', 'x', 'y', 'z', 'w', 'v'};
    ASSERT_TRUE(doc.Write(nv::kLockCodeLengthOffset, lockCode, sizeof lockCode));
    ASSERT_TRUE(doc.WriteU32(nv::kGroupFlagsOffset + 4 * 7, 1));
    ASSERT_TRUE(doc.WriteU16(nv::kNetworkLockOffset + 1, 0x1234));

    NvDoc::Image image = doc.Snapshot();
    EXPECT_EQ(image[35], 0x93);
    EXPECT_EQ(image[36], 0x00);
    EXPECT_EQ(image[39], 3);
    EXPECT_EQ(image[40], '1');
    EXPECT_EQ(image[42], '3');
    EXPECT_EQ(image[43], 'x'); // the bytes after the length's worth are kept as sent
    EXPECT_EQ(image[47], 'v');
    EXPECT_EQ(image[28], 1);
    EXPECT_EQ(image[59825], 0x34);
    EXPECT_EQ(image[59826], 0x12);
    EXPECT_EQ(doc.ReadU32(28), 1u);
    EXPECT_EQ(nv::kNetworkLockOffset + nv::kNetworkLockSize, 59905u);
}

TEST(NvDoc, RefusesRangesOutsideTheImage)
{
    NvDoc doc;
    uint8_t bytes[81] = {0xAA};
    EXPECT_TRUE(doc.Write(nv::kImageSize - 1, bytes, 1));
    EXPECT_FALSE(doc.Write(nv::kImageSize - 1, bytes, 2));
    EXPECT_FALSE(doc.Write(nv::kImageSize + 1, bytes, 0));
    EXPECT_FALSE(doc.Write(SIZE_MAX, bytes, 2)); // offset + count wraps
    EXPECT_FALSE(doc.Read(nv::kImageSize - 10, bytes, sizeof bytes));
    EXPECT_FALSE(doc.WriteU16(nv::kImageSize - 1, 0xFFFF));
    EXPECT_EQ(doc.ReadU16(nv::kImageSize - 1), 0);
    EXPECT_EQ(doc.Snapshot()[nv::kImageSize - 1], 0xAA);
}

TEST(NvDoc, LoadOverwritesOnlyWhatItIsGiven)
{
    NvDoc doc;
    ASSERT_TRUE(doc.WriteU16(nv::kUimLockCodeOffset, 0x3939));
    std::vector<uint8_t> shortFile(100, 0x11);
    EXPECT_EQ(doc.Load(shortFile.data(), shortFile.size()), 100u);
    EXPECT_EQ(doc.ReadU16(nv::kModelCodeOffset), 0x1111);
    EXPECT_EQ(doc.ReadU16(nv::kUimLockCodeOffset), 0x3939);

    std::vector<uint8_t> longFile(nv::kImageSize + 50, 0x22);
    EXPECT_EQ(doc.Load(longFile.data(), longFile.size()), nv::kImageSize);
    EXPECT_EQ(doc.ReadU16(nv::kUimLockCodeOffset), 0x2222);
}

TEST(NvDoc, TextsByNumber)
{
    NvDoc doc;
    doc.SetText(NvDoc::kEsn, "1A2B3C4D");
    doc.SetText(NvDoc::kPhoneNumber, "(123) 456-7890");
    doc.SetText(12, "last");
    doc.SetText(13, "nowhere");
    doc.SetText(-1, "nowhere");
    EXPECT_EQ(doc.GetText(0), "1A2B3C4D");
    EXPECT_EQ(doc.GetText(10), "(123) 456-7890");
    EXPECT_EQ(doc.GetText(12), "last");
    EXPECT_EQ(doc.GetText(13), "");
    EXPECT_EQ(doc.GetText(11), "");
}
