#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "samples/ImageMaker.h"
#include "TempFolder.h"
#include "engine/DownloadImages.h"

using namespace corvanetov;

namespace {
struct CodeCase {
    const char* name;
    uint64_t size;
    uint32_t valueAt4;
    bool loads;
    bool small;
    bool twoPart;
    uint32_t version;
};

const CodeCase kCodeCases[] = {
    {"shorter than its magic", 3, 0, false, false, false, 0},
    {"only the magic, no version", 4, 0, true, true, false, 0},
    {"largest small image", 0x4FFFF, 0x10000, true, true, false, ImageMaker::kVersion},
    {"smallest large image, boot part named", 0x50000, 0x4FFFF, true, false, true, ImageMaker::kVersion},
    {"large image without a main part", 0x50000, 0x50000, true, false, false, ImageMaker::kVersion},
    {"ends inside the version", 0x10022, 0x10000, true, true, false, 0},
    {"ends just after the version", 0x10024, 0x10000, true, true, false, ImageMaker::kVersion},
};
} // namespace

class DownloadImagesTest : public ::testing::Test {
protected:
    TempFolder folder;
};

TEST_F(DownloadImagesTest, CodeImageFactsFollowSizeAndHeader)
{
    for (const CodeCase& c : kCodeCases) {
        SCOPED_TRACE(c.name);
        std::string path = folder.File("code.bin");
        ASSERT_TRUE(ImageMaker::WriteCode(path, c.size, c.valueAt4, ImageMaker::kVersion));
        DownloadImages images;
        images.imageVersion = 0xDEAD; // left over from an earlier image
        ASSERT_EQ(c.loads, images.LoadCodeImage(path));
        if (!c.loads) {
            EXPECT_EQ("", images.codePath);
            continue;
        }
        EXPECT_EQ(path, images.codePath);
        EXPECT_EQ(c.size, images.codeSize);
        EXPECT_EQ(c.small, images.smallImage);
        EXPECT_EQ(c.twoPart, images.twoPartImage);
        EXPECT_EQ(c.version, images.imageVersion);
    }
}

TEST_F(DownloadImagesTest, OnlyReadableRegularFilesLoad)
{
    DownloadImages images;
    std::string font = folder.File("font.bin");
    std::string notCode = folder.File("other.bin");
    ASSERT_TRUE(ImageMaker::WriteFont(font, 12345));
    ASSERT_TRUE(ImageMaker::WriteFont(notCode, 0x20000)); // no "CODE" in front
    EXPECT_FALSE(images.LoadCodeImage(notCode));
    EXPECT_FALSE(images.LoadCodeImage(folder.File("missing.bin")));
    EXPECT_FALSE(images.LoadCodeImage(folder.Path()));
    EXPECT_FALSE(images.LoadFontImage(folder.File("missing.bin")));
    EXPECT_FALSE(images.LoadFontImage(folder.Path()));
    ASSERT_TRUE(images.LoadFontImage(font));
    EXPECT_EQ(12345u, images.fontSize);
    EXPECT_EQ(font, images.fontPath);
}

TEST_F(DownloadImagesTest, BlocksReadTheFileAndErasedBytesPastItsEnd)
{
    std::string path = folder.File("font.bin");
    ASSERT_TRUE(ImageMaker::WriteFont(path, 10000));
    std::vector<uint8_t> block(8192);

    ASSERT_TRUE(DownloadImages::ReadBlock(path, 10000, 0, block.data(), block.size()));
    EXPECT_EQ(ImageMaker::Read(path, 0, 8192), block);

    ASSERT_TRUE(DownloadImages::ReadBlock(path, 10000, 8192, block.data(), block.size()));
    std::vector<uint8_t> expected = ImageMaker::Read(path, 8192);
    ASSERT_EQ(10000u - 8192u, expected.size());
    expected.resize(8192, 0xFF);
    EXPECT_EQ(expected, block);

    ASSERT_TRUE(DownloadImages::ReadBlock(path, 10000, 0x10000, block.data(), block.size()));
    EXPECT_EQ(std::vector<uint8_t>(8192, 0xFF), block) << "wholly past the end";

    std::filesystem::resize_file(path, 9000);
    EXPECT_FALSE(DownloadImages::ReadBlock(path, 10000, 8192, block.data(), block.size()))
        << "a file shortened since it was loaded is not padded as if it had ended there";
    std::filesystem::remove(path);
    EXPECT_FALSE(DownloadImages::ReadBlock(path, 10000, 0, block.data(), block.size()));
}
