#include "EngineFixture.h"

#include <algorithm>
#include <iterator>

#include "samples/ImageMaker.h"
#include "TempFolder.h"
#include "engine/EngineConstants.h"
#include "engine/SwDownloadWorker.h"

using namespace corvanetov;

namespace {
const Bytes kAck = {0x02};
const Bytes kRefused = {0x05};
const Bytes kAgain = {0xA2};
// The scripted handset's software, identified after the flash.
const std::string kNowRunning = "end Completed Flash Programming\nNow running AB12.5";
const std::string kWaiting = std::string("\n") + engine::kWaitingInDownloadMode;

std::string Hex(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%X", value);
    return text;
}

bool StartsWith(const std::string& text, const std::string& start)
{
    return text.rfind(start, 0) == 0;
}

// A request of the flash loader's with its wait, accepted at once.
Steps Asked(const std::string& request, const std::string& wait = "wait 2000")
{
    return {request, wait};
}

// Blocks taken at once, each followed by its progress.
Steps Blocks(uint32_t start, int count)
{
    Steps steps;
    for (int k = 0; k < count; ++k)
        steps.insert(steps.end(), {"Block " + Hex(start + k * 0x2000), "wait 3000", "progress " + std::to_string((k + 1) * 100 / count)});
    return steps;
}

// From the start request to the first progress report of a code pass.
Steps CodePassOpening(const std::string& start, const Steps& versionCheck, const std::string& beforeCopy, const std::string& part,
                      const std::string& erase)
{
    return Join({Asked(start),
                 {"status Request Start OK"},
                 versionCheck,
                 {beforeCopy},
                 Asked("Copy"),
                 {"status Request Copy OK", "sleep 100"},
                 Asked("Mode"),
                 {"sleep 100"},
                 Asked("Jump"),
                 {"status Request Jump OK"},
                 Asked("Start2"),
                 {"status Request Start2 OK", "status Erasing " + part + (part == "Boot" ? " image" : " Image"), "sleep 100"},
                 Asked(erase, "wait 150000"),
                 {"sleep 1000", "status Code Flashing....", "sleep 1000", "status Flash Programming of " + part, "progress 0"}});
}

} // namespace

class SwDownloadTest : public EngineTest {
protected:
    TempFolder folder;
    std::string code = folder.File("code.bin");
    std::string font = folder.File("font.bin");

    void Images(uint64_t codeSize, uint32_t valueAt4, uint64_t fontSize = 0x3000)
    {
        ASSERT_TRUE(ImageMaker::WriteCode(code, codeSize, valueAt4, ImageMaker::kVersion));
        ASSERT_TRUE(ImageMaker::WriteFont(font, fontSize));
    }
    void Download(int option) { SwDownloadWorker::Run({option, code, font}); }

    size_t Sent(const std::string& request) const
    {
        auto line = handset.Line();
        return static_cast<size_t>(std::count(line.begin(), line.end(), request));
    }
    size_t SentStartingWith(const std::string& request) const
    {
        auto line = handset.Line();
        return static_cast<size_t>(std::count_if(line.begin(), line.end(), [&](const auto& e) { return StartsWith(e, request); }));
    }
    Steps Ends() const
    {
        Steps ends;
        for (const auto& event : handset.Timeline())
            if (StartsWith(event, "end "))
                ends.push_back(event);
        return ends;
    }
    // The timeline from the first event that starts with `from` up to, not
    // including, the first one after it that starts with `to`.
    Steps Between(const std::string& from, const std::string& to) const
    {
        auto all = handset.Timeline();
        auto begin = std::find_if(all.begin(), all.end(), [&](const auto& event) { return StartsWith(event, from); });
        auto end = begin == all.end() ? all.end() : std::find_if(std::next(begin), all.end(), [&](const auto& event) {
            return StartsWith(event, to);
        });
        return Steps(begin, end);
    }
    // The port is let go of before the end report, and only pauses follow.
    void ExpectReleasedBeforeTheEnd() const
    {
        auto all = handset.Timeline();
        auto end = std::find_if(all.begin(), all.end(), [](const auto& event) { return StartsWith(event, "end "); });
        ASSERT_NE(all.end(), end);
        ASSERT_NE(all.begin(), end);
        EXPECT_EQ("close", *std::prev(end));
        for (auto after = std::next(end); after != all.end(); ++after)
            EXPECT_TRUE(StartsWith(*after, "sleep ")) << *after;
    }
    std::vector<uint8_t> Flashed() const
    {
        std::vector<uint8_t> flashed;
        for (const auto& block : handset.Blocks())
            flashed.insert(flashed.end(), block.begin(), block.end());
        return flashed;
    }
};

// An image in download mode (option 3) whose boot pass reaches past its end
// (and that is too short to hold an image version).
TEST_F(SwDownloadTest, EmergencyDownloadOfASmallImageRunsEveryStepInOrder)
{
    Images(0x9000, 0x10000);
    Download(3);

    Steps expected = Join({
        {"status Init ComPort", "sleep 100", "sleep 100", "open", "sleep 100"},
        {"status Download Start", "status Init ComPort", "close", "sleep 100", "sleep 100", "open", "sleep 100"},
        {"close", "sleep 200", "sleep 200", "open", "sleep 500"}, // reopened at 115200 baud
        CodePassOpening("Start FFFF0000 10000", Asked("VersionCheck 0"), "sleep 100", "Boot", "Erase 0 10000"),
        Blocks(0, 8),
        {"progress 100", "sleep 1000", "status Rebooting phone"},
        Asked("Jump", "wait 3000"),
        {"close", "sleep 15000", "close", "sleep 10000", "status Identifying the restarted phone"},
    });
    const Steps timeline = handset.Timeline();
    ASSERT_GE(timeline.size(), expected.size());
    EXPECT_EQ(expected, Steps(timeline.begin(), timeline.begin() + static_cast<std::ptrdiff_t>(expected.size())));
    EXPECT_EQ(1u, Sent("Status")) << "identified once the handset has restarted";
    EXPECT_EQ(Steps{kNowRunning}, Ends());
    EXPECT_FALSE(Note());
    EXPECT_TRUE(recorder.Succeeded());
    EXPECT_EQ(0, prompts.fontAsked);

    std::vector<uint8_t> flashed = Flashed();
    std::vector<uint8_t> image = ImageMaker::Read(code);
    ASSERT_EQ(0x10000u, flashed.size());
    EXPECT_TRUE(std::equal(image.begin(), image.end(), flashed.begin())) << "the image as it lies in its file";
    EXPECT_TRUE(std::all_of(flashed.begin() + 0x9000, flashed.end(), [](uint8_t b) { return b == 0xFF; }))
        << "past the image's end the blocks hold erased flash";

    auto messages = recorder.Messages();
    auto last = std::find_if(messages.rbegin(), messages.rend(), [](const auto& m) { return m.kind == 15; });
    ASSERT_NE(messages.rend(), last);
    EXPECT_EQ(0x10000u, last->bytesDone);
    EXPECT_EQ(0x10000u, last->bytesTotal);
}

TEST_F(SwDownloadTest, NormalDownloadSwitchesTheHandsetIntoDownloadModeFirst)
{
    Images(0x9000, 0x10000);
    Download(0);
    EXPECT_EQ((Steps{"status Change to OfflineMode", "ModeControl 1", "wait 1500", "sleep 3000", "status Changing D/L Mode",
                     "DownloadMode", "wait 3000", "sleep 2500", "close", "sleep 10000"}),
              Between("status Change to OfflineMode", "status Download Start"));
    EXPECT_EQ(2u, Sent("Status")) << "identified before and after";
    EXPECT_EQ(Steps{kNowRunning}, Ends());
}

// Both passes of a two-part image, then the font with its padded last block.
TEST_F(SwDownloadTest, TwoPartImageAndFontRunThreePasses)
{
    Images(0x50000, 0x10000, 0x2001);
    prompts.fontAddress = 0x1234000;
    Download(4);
    EXPECT_FALSE(Note());
    EXPECT_EQ(1, prompts.fontAsked);
    EXPECT_EQ(0u, Sent("ModeControl 1") + Sent("DownloadMode")) << "a handset in download mode";

    EXPECT_EQ(Join({CodePassOpening("Start 0 50000", {}, "sleep 3000", "Main", "Erase 10000 50000"), Blocks(0x10000, 40),
                    {"progress 100"}}),
              Between("Start 0 50000", "Start 1234000"));
    EXPECT_EQ(Join({Asked("Start 1234000 2001"), Asked("Copy"), {"status Request Copy OK", "sleep 100"}, Asked("Mode"), {"sleep 100"},
                    Asked("Jump"), {"status Request Jump OK"}, Asked("Start2"), {"status Request Start2 OK", "sleep 100"},
                    Asked("Erase 0 2001", "wait 150000"),
                    {"sleep 1000", "status Font Flashing....", "sleep 1000", "progress 0"},
                    {"Block 0", "wait 3000", "progress 50", "Block 2000", "wait 3000", "progress 100", "sleep 1000"}}),
              Between("Start 1234000", "status Rebooting phone"));

    std::vector<uint8_t> flashed = Flashed();
    ASSERT_EQ((8u + 40u + 2u) * 0x2000u, flashed.size());
    std::vector<uint8_t> image = ImageMaker::Read(code);
    EXPECT_TRUE(std::equal(image.begin(), image.begin() + 0x10000, flashed.begin())) << "boot pass";
    EXPECT_TRUE(std::equal(image.begin() + 0x10000, image.end(), flashed.begin() + 0x10000)) << "main pass from 64 KiB";
    auto mainEnd = flashed.begin() + 0x10000 + (0x50000 - 0x10000);
    EXPECT_TRUE(std::all_of(mainEnd, flashed.begin() + 48 * 0x2000, [](uint8_t b) { return b == 0xFF; }));
    std::vector<uint8_t> fontImage = ImageMaker::Read(font);
    auto fontStart = flashed.begin() + 48 * 0x2000;
    EXPECT_TRUE(std::equal(fontImage.begin(), fontImage.end(), fontStart));
    EXPECT_TRUE(std::all_of(fontStart + 0x2001, flashed.end(), [](uint8_t b) { return b == 0xFF; })) << "the padded last font block";
    EXPECT_TRUE(recorder.Succeeded());
}

TEST_F(SwDownloadTest, FontOnlyAcceptsTheVersionCheckOfAnImageWithoutVersion)
{
    Images(0x9000, 0x10000, 0x4000);
    Prepare(0, {{0xD0, {{0xAC}}}});
    Download(5);
    EXPECT_EQ(1u, Sent("VersionCheck 0"));
    EXPECT_EQ(2u, SentStartingWith("Block "));
    EXPECT_EQ(0u, Sent("ModeControl 1") + Sent("DownloadMode"));
    EXPECT_EQ(Steps{kNowRunning}, Ends());
}

// A block the loader asks for again goes again; the progress stays where
// it was until the block is taken.
TEST_F(SwDownloadTest, BlockAskedForAgainIsSentAgain)
{
    Images(0x9000, 0x10000);
    Prepare(0, {{0xDD, {kAck, kAck, kAck, kAck, kAck, kAgain, kAck}}});
    Download(3);
    EXPECT_EQ((Steps{"Block A000", "wait 3000", "progress 62", "Block A000", "wait 3000", "progress 75"}),
              Between("Block A000", "Block C000"));
    EXPECT_EQ(9u, SentStartingWith("Block "));
    EXPECT_TRUE(recorder.Succeeded());
}

namespace {
struct FailureCase {
    const char* name;
    int option;
    Script script;
    std::string end;
    std::string request; // the request that failed ...
    size_t times;        // ... and how often it was sent
};

const std::vector<Bytes> kThreeRefusals = {kRefused, kRefused, kRefused};
const std::vector<Bytes> kThreeBadCommands = {{0x13}, {0x13}, {0x13}};

// A failure once the handset is in download mode says so, and its slot is
// noted as holding it there; a failure before the switch leaves no note.
const FailureCase kFailureCases[] = {
    {"start never acknowledged: no loader answered", 3, {{0xA0, kThreeRefusals}}, "end RequestStart Error!", "Start FFFF0000 10000", 3},
    {"version check unanswered", 3, {{0xD0, kThreeSilences}}, "end Request Version Error!" + kWaiting, "VersionCheck 0", 3},
    {"copy refused", 3, {{0xB0, kThreeRefusals}}, "end RequestCopy Error!" + kWaiting, "Copy", 3},
    {"mode refused", 3, {{0xF0, kThreeRefusals}}, "end RequestMode Error!" + kWaiting, "Mode", 3},
    {"loader jump refused", 3, {{0xC0, kThreeRefusals}}, "end RequestJump Error!" + kWaiting, "Jump", 3},
    {"second start refused", 3, {{0xA0, {kAck, kRefused, kRefused, kRefused}}}, "end RequestStart Error!" + kWaiting, "Start2", 3},
    {"erase unanswered", 3, {{0xEE, {kSilent, kSilent}}}, "end Erase Error!" + kWaiting, "Erase 0 10000", 2},
    {"block unanswered", 3, {{0xDD, {kSilent}}}, "end Connection or Timeout Error!" + kWaiting, "Block 0", 1},
    {"block answered with another code", 3, {{0xDD, {{0xA4}}}}, "end Connection or Timeout Error!" + kWaiting, "Block 0", 1},
    {"block asked for again and again", 3, {{0xDD, std::vector<Bytes>(20, {0xA1})}}, "end Connection or Timeout Error!" + kWaiting, "Block 0", 10},
    {"restart jump unanswered", 3, {{0xC0, {kAck, kSilent, kSilent, kSilent}}}, "end RequestJump Error!" + kWaiting, "Jump", 4},
    {"after the switch, start never acknowledged", 0, {{0xA0, kThreeRefusals}}, "end RequestStart Error!" + kWaiting, "Start FFFF0000 10000", 3},
    // Answered as an unknown diagnostic command: the handset runs normally.
    {"EMERGENCY option, handset in diagnostic mode", 3, {{0xA0, kThreeBadCommands}},
     std::string("end RequestStart Error!\n") + engine::kNotInDownloadModeHint, "Start FFFF0000 10000", 3},
    {"NORMAL option, handset still in diagnostic mode after the switch", 0, {{0xA0, kThreeBadCommands}},
     "end RequestStart Error!" + kWaiting, "Start FFFF0000 10000", 3},
    {"another handset back after the flash", 0, {{0x0C, {ScriptedHandset::StatusAnswer(0x8D2A41F3, 0, 0), ScriptedHandset::StatusAnswer(0x8D2A41F4, 0, 0)}}},
     "end Completed Flash Programming\nAnother handset answers here (ESN 8D2A41F4); the job's handset has ESN 8D2A41F3", "Status", 2},
    {"handset not back after the flash", 3, {{0x0C, kThreeSilences}},
     "end Completed Flash Programming\nThe handset did not come back after its restart: Error in reading phone's status in DM", "Status", 3},
    {"option 6", 6, {}, "end Invalid Download Option!", "Start FFFF0000 10000", 0},
    {"no offline answer", 0, {{0x29, kThreeSilences}}, "end Error in changing mode to OFFLINE", "DownloadMode", 0},
    {"handset not identified", 1, {{0x0C, kThreeSilences}}, "end Error in reading phone's status in DM", "ModeControl 1", 0},
};

void PrintTo(const FailureCase& c, std::ostream* out)
{
    *out << c.name;
}
} // namespace

class SwDownloadFailure : public SwDownloadTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(SwDownloadFailure, EndsWithItsTextAfterThePortIsFree)
{
    const FailureCase& c = GetParam();
    Images(0x9000, 0x10000);
    Prepare(0, c.script);
    Download(c.option);
    EXPECT_EQ(Steps{c.end}, Ends());
    EXPECT_EQ(c.end.substr(4), ErrorText());
    EXPECT_EQ(c.times, Sent(c.request));
    EXPECT_FALSE(recorder.Succeeded());
    EXPECT_EQ(c.end.ends_with(kWaiting), Note().has_value());
    if (Note()) {
        EXPECT_EQ(c.option < 3 ? "8D2A41F3" : "", *Note()) << "the handset identified before the switch; none under an EMERGENCY option";
    }
    ExpectReleasedBeforeTheEnd();
}

INSTANTIATE_TEST_SUITE_P(Steps, SwDownloadFailure, ::testing::ValuesIn(kFailureCases),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

namespace {
struct LoadCase {
    const char* name;
    int option;
    bool codeMissing;
    bool fontMissing;
    bool cancelFont;
    std::string end;
    int fontAsked;
};

const LoadCase kLoadCases[] = {
    {"code image missing, code only", 0, true, false, false, "end Error in loading Bin file", 0},
    {"code image missing, option 6 counts as code only", 7, true, false, false, "end Error in loading Bin file", 0},
    {"code image missing, code and font: before the font question", 4, true, false, false, "end Error in loading Binary file", 0},
    {"font question cancelled", 1, false, false, true, "end Download Cancelled..", 1},
    {"font question cancelled, font only", 5, false, false, true, "end Download Cancelled..", 1},
    {"font image missing", 2, false, true, false, "end Error in loading Font file", 1},
};
void PrintTo(const LoadCase& c, std::ostream* out)
{
    *out << c.name;
}

} // namespace

class SwDownloadLoad : public SwDownloadTest, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(SwDownloadLoad, ImageThatDoesNotLoadEndsTheDownloadBeforeAnyRequest)
{
    const LoadCase& c = GetParam();
    Images(0x9000, 0x10000);
    prompts.cancelFont = c.cancelFont;
    SwDownloadWorker::Run({c.option, c.codeMissing ? folder.File("none.bin") : code, c.fontMissing ? folder.File("none.bin") : font});
    EXPECT_EQ(Steps{c.end}, Ends());
    EXPECT_EQ(c.fontAsked, prompts.fontAsked);
    EXPECT_EQ((Steps{"open", "close"}), handset.Line()) << "the port opened and let go of, nothing sent";
    ExpectReleasedBeforeTheEnd();
}

INSTANTIATE_TEST_SUITE_P(Images, SwDownloadLoad, ::testing::ValuesIn(kLoadCases),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

namespace {
struct StopCase {
    const char* name;
    int option;
    std::string stopAt;
    int occurrence;
    bool waiting; // the port is noted as waiting in download mode after the stop
};

const StopCase kStopCases[] = {
    {"during the erase", 3, "wait 150000", 1, true},
    {"during a block", 3, "wait 3000", 4, true},
    {"while going offline, before the switch", 0, "sleep 3000", 2, false},
    {"while the handset restarts into download mode", 0, "sleep 10000", 1, true},
    {"while the handset starts its new software", 3, "sleep 15000", 1, false},
};
void PrintTo(const StopCase& c, std::ostream* out)
{
    *out << c.name;
}

} // namespace

class SwDownloadStop : public SwDownloadTest, public ::testing::WithParamInterface<StopCase> {};

TEST_P(SwDownloadStop, EndsAtOnceAndLetsGoOfThePort)
{
    const StopCase& c = GetParam();
    Images(0x9000, 0x10000);
    StopAt(c.stopAt, c.occurrence);
    Download(c.option);
    ASSERT_LT(StopPosition(), TimelineSize()) << "the stop came";
    for (const auto& event : TimelineFrom(StopPosition() + 1))
        EXPECT_TRUE(StartsWith(event, "sleep ") || StartsWith(event, "wait ") || event == "close") << "after the stop: " << event;
    EXPECT_EQ("close", handset.Line().back());
    EXPECT_TRUE(Ends().empty()) << "a stopped download reports nothing more";
    EXPECT_EQ(c.waiting, Note().has_value());
}

INSTANTIATE_TEST_SUITE_P(Pauses, SwDownloadStop, ::testing::ValuesIn(kStopCases),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });
