#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

#include "samples/ImageMaker.h"
#include "TempFolder.h"
#include "engine/DownloadImages.h"
#include "engine/FlashPass.h"

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
    // An empty image writes nothing, and a download of it would say it completed.
    ASSERT_TRUE(ImageMaker::WriteFont(folder.File("empty.bin"), 0));
    ASSERT_TRUE(ImageMaker::WriteCode(folder.File("emptycode.bin"), 0, 0, 0));
    EXPECT_FALSE(images.LoadFontImage(folder.File("empty.bin")));
    EXPECT_EQ(folder.File("empty.bin") + " is empty", images.refusal);
    EXPECT_FALSE(images.LoadCodeImage(folder.File("emptycode.bin")));
    EXPECT_EQ(folder.File("emptycode.bin") + " is empty", images.refusal);
    ASSERT_TRUE(images.LoadFontImage(font));
    EXPECT_EQ(12345u, images.fontSize);
    EXPECT_EQ(font, images.fontPath);
}

namespace {
// A pass of the whole font file, read block by block as the download does.
FlashPass FontPass(const DownloadImages& images)
{
    FlashPass pass;
    pass.file = images.fontFile;
    pass.fileSize = images.fontSize;
    pass.blocks = static_cast<uint32_t>((images.fontSize + 8191) / 8192);
    return pass;
}
} // namespace

TEST_F(DownloadImagesTest, BlocksReadTheFileAndErasedBytesPastItsEnd)
{
    std::string path = folder.File("font.bin");
    ASSERT_TRUE(ImageMaker::WriteFont(path, 10000));
    DownloadImages images;
    ASSERT_TRUE(images.LoadFontImage(path));
    const FlashPass pass = FontPass(images);
    std::vector<uint8_t> block(8192);

    ASSERT_TRUE(pass.ReadBlock(0, block.data()));
    EXPECT_EQ(ImageMaker::Read(path, 0, 8192), block);

    ASSERT_TRUE(pass.ReadBlock(1, block.data()));
    std::vector<uint8_t> expected = ImageMaker::Read(path, 8192);
    ASSERT_EQ(10000u - 8192u, expected.size());
    expected.resize(8192, 0xFF);
    EXPECT_EQ(expected, block);

    ASSERT_TRUE(pass.ReadBlock(8, block.data()));
    EXPECT_EQ(std::vector<uint8_t>(8192, 0xFF), block) << "wholly past the end";

    std::filesystem::resize_file(path, 9000);
    EXPECT_FALSE(pass.ReadBlock(1, block.data()))
        << "a file shortened since it was loaded is not padded as if it had ended there";
    FlashPass unloaded = pass;
    unloaded.file = nullptr;
    EXPECT_FALSE(unloaded.ReadBlock(0, block.data())) << "no image loaded";
}

// The blocks come from the file that was loaded and checked, however its
// name changes hands during the download.
TEST_F(DownloadImagesTest, AnImageReplacedUnderItsNameIsNotMixedIn)
{
    std::string path = folder.File("font.bin");
    ASSERT_TRUE(ImageMaker::WriteFont(path, 20000));
    const std::vector<uint8_t> first = ImageMaker::Read(path, 8192, 8192);
    DownloadImages images;
    ASSERT_TRUE(images.LoadFontImage(path));
    const FlashPass pass = FontPass(images);
    std::filesystem::remove(path);
    ASSERT_EQ(0, ::mkfifo(path.c_str(), 0600)) << "and a named pipe in its place";
    std::vector<uint8_t> block(8192);
    ASSERT_TRUE(pass.ReadBlock(1, block.data()));
    EXPECT_EQ(first, block);
}

TEST_F(DownloadImagesTest, AFontMustEndWithinTheFlashsAddresses)
{
    struct Case {
        uint32_t address;
        uint64_t size;
        bool pastEnd;
    } cases[] = {
        {0x2E00000, 1, false},           {0xFFFFE000, 8192, false}, {0xFFFFE000, 8193, true},
        {0xFFFFFFFF, 1, true},           {0, 0x100000, false},      {0xFFF00000, 0x100000, false},
        {0xFFF00001, 0x100000 - 1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.address << " + " << c.size);
        DownloadImages images;
        images.fontStartAddress = c.address;
        images.fontSize = c.size;
        EXPECT_EQ(c.pastEnd, images.FontRunsPastEnd());
    }
}
