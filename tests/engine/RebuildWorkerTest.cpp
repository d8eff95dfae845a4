#include "EngineFixture.h"

#include "engine/RebuildWorker.h"

using namespace corvanetov;

namespace {
constexpr int kBoot1 = ScriptedHandset::kBootCommand + 1;
constexpr int kBoot2 = ScriptedHandset::kBootCommand + 2;
constexpr int kBoot5 = ScriptedHandset::kBootCommand + 5;


struct RebuildCase {
    const char* name;
    Script script;
    Steps afterReopen; // the timeline once the port is at 9600 baud
};

const Steps kOpening = {"status Rebuilding...", "sleep 100", "sleep 100", "open", "sleep 100",
                        "close",                "sleep 100", "sleep 100", "open", "sleep 500"};

// A boot command sent three times, each time with its wait and its pause.
Steps ThreeTimes(const std::string& command, const std::string& wait, const std::string& pause)
{
    Steps steps;
    for (int attempt = 0; attempt < 3; ++attempt)
        steps.insert(steps.end(), {command, wait, pause});
    return steps;
}

const Steps kFirstTwoTaken = {"Boot 1", "wait 2000", "sleep 1000", "Boot 2", "wait 2000", "sleep 1000"};
const Steps kCompleted = {"sleep 60000", "close", "end Rebuilding Completed..."};
const Bytes kNoAcknowledgement = {0xAA, 0x00, 0xDD, 0x7E};

const RebuildCase kRebuildCases[] = {
    {"every command acknowledged", {}, Join({kFirstTwoTaken, {"Boot 5", "wait 1000"}, kCompleted})},
    {"last command never acknowledged", {{kBoot5, kThreeSilences}},
     Join({kFirstTwoTaken, ThreeTimes("Boot 5", "wait 1000", "sleep 0"), kCompleted})},
    {"first command unanswered", {{kBoot1, kThreeSilences}},
     Join({ThreeTimes("Boot 1", "wait 2000", "sleep 200"), {"close", "end Error in Auto test"}})},
    {"first command answered without the acknowledgement", {{kBoot1, {kNoAcknowledgement, kNoAcknowledgement, kSilent}}},
     Join({ThreeTimes("Boot 1", "wait 2000", "sleep 200"), {"close", "end Error in Auto test"}})},
    // The first command's acknowledgement is still in the response: it
    // must not pass for the second's.
    {"second command unanswered", {{kBoot2, kThreeSilences}},
     Join({{"Boot 1", "wait 2000", "sleep 1000"}, ThreeTimes("Boot 2", "wait 2000", "sleep 200"),
           {"close", "end Error in Suspend", "sleep 1000"}})},
};

void PrintTo(const RebuildCase& c, std::ostream* out)
{
    *out << c.name;
}
} // namespace

class Rebuild : public EngineTest, public ::testing::WithParamInterface<RebuildCase> {};

TEST_P(Rebuild, BootCommandsInOrder)
{
    const RebuildCase& c = GetParam();
    Prepare(0, c.script);
    RebuildWorker::Run();
    auto expected = kOpening;
    expected.insert(expected.end(), c.afterReopen.begin(), c.afterReopen.end());
    EXPECT_EQ(expected, handset.Timeline());
    EXPECT_EQ(c.afterReopen.back() == "end Rebuilding Completed...", recorder.Succeeded());
}

INSTANTIATE_TEST_SUITE_P(Commands, Rebuild, ::testing::ValuesIn(kRebuildCases),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST_F(EngineTest, RebuildOnAPortThatDoesNotOpenSaysWhy)
{
    handset.RefuseOpens();
    RebuildWorker::Run();
    EXPECT_EQ("Cannot Open ComPort!", recorder.EndText());

    ScriptedHandset reopenRefused;
    reopenRefused.RefuseOpens(1);
    OperationContext::Instance().SetChannelFactory(reopenRefused.Factory());
    OperationRecorder second(OperationRecorder::OnEnd::Continue);
    OperationContext::Instance().SetTarget(&second);
    RebuildWorker::Run();
    EXPECT_EQ("Port Open Fail..", second.EndText()) << "the port opened, but not again at 9600 baud";
    EXPECT_EQ((std::vector<std::string>{"open", "close", "open refused", "close"}), reopenRefused.Line());
    // The channel goes with its handset, before the handset does.
    OperationContext::Instance().SetChannelFactory(handset.Factory());
    OperationContext::Instance().SetTarget(&recorder);
}

TEST_F(EngineTest, RebuildStoppedInItsLastPauseEndsAtOnce)
{
    StopAt("sleep 60000");
    RebuildWorker::Run();
    EXPECT_EQ((std::vector<std::string>{"sleep 60000", "close"}), TimelineFrom(StopPosition()));
    EXPECT_FALSE(recorder.Finished());
}
