#include "EngineFixture.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <unistd.h>

#include "TempFolder.h"
#include "comm/HandsetClaim.h"
#include "comm/PortResolver.h"
#include "engine/EngineConstants.h"
#include "engine/NamTransfer.h"
#include "engine/OperationFrame.h"
#include "engine/PhoneInfoRead.h"
#include "engine/RebuildWorker.h"
#include "engine/SwDownloadWorker.h"

using namespace corvanetov;
using namespace corvanetov::detail;

namespace {

// An operation that programs the handset, as the settings and roaming
// operations do: every step of the frame, then the reset at its end.
void Programming()
{
    OperationFrame frame(families::kNam, "testing it");
    if (!frame.Open() || !frame.GoOffline(engine::kHandsetRestartMs) || !frame.Unlock())
        return;
    frame.Status("Writing");
    frame.Progress(100);
    if (frame.ResetHandset(2, OperationFrame::ResetText::BeforePause) && frame.Pause(engine::kHandsetRestartMs))
        frame.Complete("Done");
}

size_t LastIndexOf(const std::vector<std::string>& timeline, const std::string& event)
{
    for (size_t i = timeline.size(); i-- > 0;)
        if (timeline[i] == event)
            return i;
    return timeline.size();
}

struct FrameCase {
    const char* name;
    int toolType;
    bool cancelMsl;
    bool refuseOpens;
    Script script;
    std::string stopAt; // a stop request comes as this pause or wait begins
    int occurrence;     // ... for this time
    std::string end;    // the end report; empty: none
};

// The first "sleep 1000" is the pause after the AT command, the first two
// "wait 1500" are those of the version and hardware version requests.
const FrameCase kFrameCases[] = {
    {"all steps pass", 0, false, false, {}, "", 0, "end Done"},
    {"MSL question cancelled", 1, true, false, {}, "", 0, "end input the MSL code"},
    {"port does not open", 0, false, true, {}, "", 0, "end Cannot Open ComPort!"},
    {"identification fails", 0, false, false, {{0x0C, kThreeSilences}}, "", 0, "end Error in reading phone's status in DM"},
    {"no offline answer", 0, false, false, {{0x29, kThreeSilences}}, "", 0, "end Error in changing mode to OFFLINE"},
    {"unlock refused", 0, false, false, {{0x46, {{0x46, 0x00}}}}, "", 0, "end Password is Invalid!"},
    {"MSL code refused", 1, false, false, {{0x41, {{0x41, 0x00}}}}, "", 0, "end Invalid Device Programming Code"},
    {"stop before the status request", 0, false, false, {}, "sleep 3000", 1, ""},
    {"stop while waiting for the offline answer", 0, false, false, {{0x29, {kSilent}}}, "wait 1500", 3, ""},
    {"stop after the failed offline step's report", 0, false, false, {{0x29, kThreeSilences}}, "sleep 15000", 1,
     "end Error in changing mode to OFFLINE"},
    {"stop between the reset requests", 0, false, false, {}, "sleep 1000", 3, ""},
};
void PrintTo(const FrameCase& c, std::ostream* out)
{
    *out << c.name;
}
} // namespace

class OperationFrameRelease : public EngineTest, public ::testing::WithParamInterface<FrameCase> {};

TEST_P(OperationFrameRelease, ThePortIsReleasedOnceAndBeforeTheEndReport)
{
    const FrameCase& c = GetParam();
    SCOPED_TRACE(c.name);
    Prepare(c.toolType, c.script);
    prompts.cancel = c.cancelMsl;
    if (c.refuseOpens)
        handset.RefuseOpens();
    if (!c.stopAt.empty())
        StopAt(c.stopAt, c.occurrence);

    Programming();

    for (int closes : handset.ClosesPerChannel())
        EXPECT_EQ(1, closes) << "every channel closed exactly once";
    if (c.cancelMsl) {
        EXPECT_TRUE(handset.ClosesPerChannel().empty()) << "the MSL question comes before any port";
    }
    auto timeline = handset.Timeline();
    std::vector<std::string> ends;
    std::copy_if(timeline.begin(), timeline.end(), std::back_inserter(ends), [](const auto& event) { return event.rfind("end ", 0) == 0; });
    if (!c.stopAt.empty()) {
        ASSERT_LT(StopPosition(), timeline.size()) << "the stop came";
        for (const auto& event : TimelineFrom(StopPosition() + 1)) {
            bool pause = event.rfind("sleep ", 0) == 0 || event.rfind("wait ", 0) == 0;
            EXPECT_TRUE(pause || event == "close") << "after the stop: " << event;
        }
        EXPECT_EQ("close", handset.Line().back());
    }
    if (c.end.empty()) {
        EXPECT_TRUE(ends.empty()) << "a stopped operation reports nothing more";
        return;
    }
    ASSERT_EQ(std::vector<std::string>{c.end}, ends);
    if (!c.cancelMsl) {
        EXPECT_LT(LastIndexOf(timeline, "close"), LastIndexOf(timeline, c.end)) << "the port is free when the end is reported";
    }
    EXPECT_EQ(c.end == "end Done", recorder.Succeeded());
}

INSTANTIATE_TEST_SUITE_P(Steps, OperationFrameRelease, ::testing::ValuesIn(kFrameCases),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

class OperationFrameSteps : public EngineTest {
protected:
    // A frame with an identified handset; the timeline from here on.
    size_t Connect(OperationFrame& frame)
    {
        EXPECT_TRUE(frame.InitComPort() && frame.ConnectAndIdentify());
        return TimelineSize();
    }
};

TEST_F(OperationFrameSteps, OfflineStepTriesThreeTimesThenResetsOnceAndReportsAfterTheRelease)
{
    handset.Queue(0x29, kThreeSilences);
    OperationFrame frame(families::kNam, "testing it");
    size_t start = Connect(frame);
    EXPECT_FALSE(frame.GoOffline(engine::kHandsetRestartMs));
    std::vector<std::string> expected = {"status Change to OfflineMode"};
    for (int i = 0; i < 3; ++i)
        expected.insert(expected.end(), {"ModeControl 1", "wait 1500", "sleep 200"});
    expected.insert(expected.end(),
                    {"sleep 1000", "ModeControl 2", "close", "end Error in changing mode to OFFLINE", "sleep 15000"});
    EXPECT_EQ(expected, TimelineFrom(start));
    EXPECT_EQ("Error in changing mode to OFFLINE", ErrorText());
    EXPECT_FALSE(recorder.Succeeded());
}

TEST_F(OperationFrameSteps, OfflineStepAnsweredOnTheThirdTryPausesForTheHandset)
{
    handset.Queue(0x29, {kSilent, {0x13, 0x00, 0x00, 0x00}});
    OperationFrame frame(families::kDownload, "testing it");
    size_t start = Connect(frame);
    EXPECT_TRUE(frame.GoOffline(0));
    EXPECT_EQ((std::vector<std::string>{"status Change to OfflineMode", "ModeControl 1", "wait 1500", "sleep 200", "ModeControl 1",
                                        "wait 1500", "sleep 200", "ModeControl 1", "wait 1500", "sleep 3000"}),
              TimelineFrom(start));
    EXPECT_FALSE(recorder.Finished());
}

namespace {
struct ResetCase {
    int requests;
    OperationFrame::ResetText text;
    std::vector<std::string> timeline;
};

const ResetCase kResetCases[] = {
    // The settings transfers name the step before its first pause.
    {2, OperationFrame::ResetText::BeforePause,
     {"status Resetting the phone", "sleep 1000", "ModeControl 2", "sleep 1000", "ModeControl 2", "close"}},
    // The roaming programming names it as the first request goes out.
    {2, OperationFrame::ResetText::AtFirstRequest,
     {"sleep 1000", "status Resetting the phone", "ModeControl 2", "sleep 1000", "ModeControl 2", "close"}},
    // A failure's single reset names nothing.
    {1, OperationFrame::ResetText::None, {"sleep 1000", "ModeControl 2", "close"}},
};
} // namespace

class OperationFrameReset : public OperationFrameSteps, public ::testing::WithParamInterface<ResetCase> {};

TEST_P(OperationFrameReset, ResetRequestsThenTheRelease)
{
    const ResetCase& c = GetParam();
    OperationFrame frame(families::kPrl, "testing it");
    size_t start = Connect(frame);
    EXPECT_TRUE(frame.ResetHandset(c.requests, c.text));
    EXPECT_EQ(c.timeline, TimelineFrom(start));
    frame.Complete("Completed");
    EXPECT_EQ("close", handset.Line().back()) << "released once: the end report closes nothing more";
}

INSTANTIATE_TEST_SUITE_P(Texts, OperationFrameReset, ::testing::ValuesIn(kResetCases));

TEST_F(OperationFrameSteps, QuietStepsNameThemselvesNowhere)
{
    OperationFrame frame(families::kDownload, "testing it", OperationFrame::Steps::Quiet);
    EXPECT_TRUE(frame.InitComPort() && frame.ConnectAndIdentify() && frame.GoOffline(0));
    frame.ResetHandset(2, OperationFrame::ResetText::BeforePause);
    for (const auto& message : recorder.Messages())
        ADD_FAILURE() << "a report: " << message.text;
}

TEST_F(OperationFrameSteps, ReportsTravelOnTheFamilysKinds)
{
    OperationFrame frame(families::kPrl, "testing it");
    frame.Status("Write Prl to NAM2");
    frame.Progress(40, 1);
    frame.Complete("Completed PRL Programming");
    auto messages = recorder.Messages();
    ASSERT_EQ(3u, messages.size());
    EXPECT_EQ(1525, messages[0].number);
    EXPECT_EQ(7, messages[0].kind);
    EXPECT_EQ(5, messages[1].kind);
    EXPECT_EQ(1, messages[1].param) << "the NAM index";
    EXPECT_EQ(40, messages[1].value);
    EXPECT_EQ(6, messages[2].kind);
    EXPECT_EQ(OperationMessage::Outcome::Succeeded, messages[2].outcome);
    EXPECT_TRUE(handset.Line().empty()) << "a frame that took no port releases none";
}

namespace {
struct ClaimedCase {
    const char* name;
    int toolType; // nonzero asks for the MSL code first
    void (*run)();
};

const ClaimedCase kClaimedCases[] = {
    {"phone information", 0, &PhoneInfoRead::Run},
    {"settings read, MSL code", 1, [] { NamTransfer::NamReadWorker({}); }},
    {"software download, MSL code", 1, [] { SwDownloadWorker::Run({0, "/nonexistent/code.bin", ""}); }},
    {"rebuild", 0, &RebuildWorker::Run},
};

void PrintTo(const ClaimedCase& c, std::ostream* out)
{
    *out << c.name;
}
} // namespace

// Another operation holds the handset (another program, say, in the gap
// of a flash's restart): the operation ends naming the holder before it
// asks anything, opens the port or sends a byte.
class OperationFrameClaimed : public EngineTest, public ::testing::WithParamInterface<ClaimedCase> {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        ::setenv("CORVANETOV_LOCK_DIR", m_folder.Path().c_str(), 1);
        PortResolver::Instance().Set([this](uint8_t) { return m_folder.File("handset"); }, m_folder.File("store.ini"));
    }
    void TearDown() override
    {
        PortResolver::Instance().Set(nullptr);
        ::unsetenv("CORVANETOV_LOCK_DIR");
        EngineTest::TearDown();
    }
    TempFolder m_folder;
};

TEST_P(OperationFrameClaimed, EndsNamingTheHolderAndChangesNothing)
{
    const ClaimedCase& c = GetParam();
    Prepare(c.toolType, {});
    prompts.cancel = true; // an MSL question would end the operation with its own text
    auto holder = std::make_unique<HandsetClaim>();
    ASSERT_TRUE(holder->Take(7, engine::kActivityFlashing));
    c.run();
    const std::string busy =
        "COM7 is busy: " + std::string(program_invocation_short_name) + " (pid " + std::to_string(::getpid()) + ") is flashing it";
    ASSERT_FALSE(recorder.Messages().empty());
    EXPECT_EQ(busy, recorder.EndText());
    EXPECT_TRUE(handset.Line().empty()) << handset.Line().front();

    holder.reset();
    OperationRecorder after(OperationRecorder::OnEnd::Continue);
    OperationContext::Instance().SetTarget(&after);
    c.run();
    EXPECT_TRUE(after.Finished());
    EXPECT_NE(busy, after.EndText()) << "the handset is the operation's once the holder has let go";
}

INSTANTIATE_TEST_SUITE_P(Operations, OperationFrameClaimed, ::testing::ValuesIn(kClaimedCases),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });
