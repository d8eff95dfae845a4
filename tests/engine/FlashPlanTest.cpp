#include <gtest/gtest.h>

#include <sstream>

#include "samples/ImageMaker.h"
#include "TempFolder.h"
#include "diag/FlashRequests.h"
#include "diag/FrameCodec.h"
#include "engine/DownloadOption.h"
#include "engine/FlashPlan.h"

using namespace corvanetov;

namespace {
using Range = std::pair<uint64_t, uint64_t>;

// One pass, as "part start1 start2 erase-start erase-length blocks".
std::string Describe(const FlashPass& pass)
{
    const char* parts[] = {"Boot", "Main", "Font"};
    std::ostringstream out;
    out << parts[static_cast<int>(pass.part)] << std::hex << std::uppercase << " " << pass.startFirst << " " << pass.startSecond
        << " " << pass.start << " " << pass.length << std::dec << " " << pass.blocks;
    return out.str();
}

struct PlanCase {
    const char* name;
    int option;
    uint64_t codeSize;
    uint32_t valueAt4;
    uint64_t fontSize;
    std::vector<std::string> passes;
    uint64_t codeWritten;
    std::vector<Range> codeUnwritten;
    uint64_t fontWritten;
};

const PlanCase kPlanCases[] = {
    {"small image: the boot region only", 0, 0x30000, 0x10000, 0, {"Boot FFFF0000 10000 0 10000 8"}, 0x10000, {{0x10000, 0x30000}}, 0},
    {"image smaller than the boot region", 3, 0x9000, 0x10000, 0, {"Boot FFFF0000 10000 0 10000 8"}, 0x9000, {}, 0},
    {"two-part image: boot region, then the whole file again from 64 KiB",
     3,
     0x50000,
     0x10000,
     0,
     {"Boot FFFF0000 10000 0 10000 8", "Main 0 50000 10000 50000 40"},
     0x50000,
     {},
     0},
    {"large image without a main part",
     0,
     0x60000,
     0x60000,
     0,
     {"Main FFFF0000 10000 0 10000 8"},
     0x10000,
     {{0x10000, 0x60000}},
     0},
    {"two-part image and font",
     1,
     0x51000,
     0x10000,
     0x4000,
     {"Boot FFFF0000 10000 0 10000 8", "Main 0 51000 10000 51000 40", "Font 2E00000 4000 0 4000 2"},
     0x51000,
     {},
     0x4000},
    {"font whose end is a partial block", 5, 0, 0, 0x4001, {"Font 2E00000 4001 0 4001 3"}, 0, {}, 0x4001},
};
} // namespace

TEST(FlashPlanTest, PassesAndWhatTheyWrite)
{
    TempFolder folder;
    for (const PlanCase& c : kPlanCases) {
        SCOPED_TRACE(c.name);
        DownloadImages images;
        images.fontStartAddress = 0x2E00000;
        auto option = DownloadOption::Of(c.option);
        ASSERT_TRUE(option);
        if (option->code) {
            ASSERT_TRUE(ImageMaker::WriteCode(folder.File("code.bin"), c.codeSize, c.valueAt4, ImageMaker::kVersion));
            ASSERT_TRUE(images.LoadCodeImage(folder.File("code.bin")));
        }
        if (option->font) {
            ASSERT_TRUE(ImageMaker::WriteFont(folder.File("font.bin"), c.fontSize));
            ASSERT_TRUE(images.LoadFontImage(folder.File("font.bin")));
        }
        FlashPlan plan(*option, images);
        std::vector<std::string> passes;
        uint64_t blockBytes = 0;
        for (const FlashPass& pass : plan.Passes()) {
            passes.push_back(Describe(pass));
            blockBytes += pass.blocks * 8192ull;
        }
        EXPECT_EQ(c.passes, passes);
        EXPECT_EQ(blockBytes, plan.BlockBytes());

        auto files = plan.FileCoverage();
        ASSERT_EQ(size_t(option->code) + size_t(option->font), files.size());
        if (option->code) {
            EXPECT_EQ(c.codeWritten, files.front().written);
            EXPECT_EQ(c.codeUnwritten, files.front().unwritten);
        }
        if (option->font) {
            EXPECT_EQ(c.fontWritten, files.back().written);
            EXPECT_TRUE(files.back().unwritten.empty());
        }
    }
}

TEST(FlashPlanTest, OptionsBeyondTheSixAreNone)
{
    EXPECT_FALSE(DownloadOption::Of(6));
    EXPECT_FALSE(DownloadOption::Of(-1));
    auto emergencyFont = DownloadOption::Of(5);
    ASSERT_TRUE(emergencyFont);
    EXPECT_FALSE(emergencyFont->code);
    EXPECT_TRUE(emergencyFont->font);
    EXPECT_FALSE(emergencyFont->switchToDownloadMode);
    EXPECT_TRUE(DownloadOption::Of(0)->switchToDownloadMode);
}

// The wire count is what the blocks' frames really hold: encode every block
// here and compare.
TEST(FlashPlanTest, WireBytesCountEveryEscape)
{
    TempFolder folder;
    DownloadImages images;
    ASSERT_TRUE(ImageMaker::WriteFont(folder.File("font.bin"), 3 * 8192 + 100));
    ASSERT_TRUE(images.LoadFontImage(folder.File("font.bin")));
    FlashPlan plan(*DownloadOption::Of(5), images);
    FlashPlan::Wire wire;
    ASSERT_TRUE(plan.WireBytes(wire));

    uint64_t expected = 0;
    std::vector<uint8_t> block, request(8199), frame;
    for (uint32_t k = 0; k < 4; ++k) {
        block = ImageMaker::Read(folder.File("font.bin"), k * 8192ull, 8192);
        block.resize(8192, 0xFF);
        FlashRequests::BuildWriteBlock(k * 8192, block.data(), request.data());
        FrameCodec::EncodeLargeFrame(request.data(), request.size(), frame);
        expected += frame.size();
    }
    EXPECT_EQ(expected, wire.requestBytes);
    EXPECT_GT(wire.requestBytes, 4u * 8199u + 4u * 3u) << "the images hold flags and escapes";
    EXPECT_EQ(4u * 5u, wire.answerBytes) << "7E 02 and two check bytes and 7E for each block";
}
