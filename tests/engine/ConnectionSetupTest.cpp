#include "EngineFixture.h"

#include "engine/ConnectionSetup.h"

using namespace corvanetov;
using namespace corvanetov::detail;

namespace {

constexpr int kAt = ScriptedHandset::kDmSwitch;
const Bytes kWrongByte = {0x13, 0x00, 0x00, 0x00}; // "bad command"

std::vector<std::string> Repeated(const std::vector<std::string>& part, int times)
{
    std::vector<std::string> all;
    for (int i = 0; i < times; ++i)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

std::vector<std::string> Joined(std::initializer_list<std::vector<std::string>> parts)
{
    std::vector<std::string> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

const std::vector<std::string> kIdentified = {"close", "open", "Status", "Version", "NvRead 2045"};

struct SetupCase {
    const char* name;
    Script script;
    bool identified;
    std::string error;
    std::vector<std::string> line;
};

const SetupCase kSetupCases[] = {
    {"everything answered", {}, true, "", Joined({{"open", "AT"}, kIdentified})},
    {"AT unanswered, DM mode request answered, AT on the fresh channel",
     {{kAt, {kSilent, kSilent, kSilent}}},
     true,
     "",
     Joined({{"open", "AT", "AT", "AT", "DmMode", "close", "open", "AT"}, kIdentified})},
    {"neither AT nor DM mode answered: the set-up still asks for the status",
     {{kAt, std::vector<Bytes>(6, kSilent)}, {0x44, {kSilent, kSilent, kSilent}}},
     true,
     "Error in changing HF mode",
     Joined({{"open", "AT", "AT", "AT", "DmMode", "DmMode", "DmMode", "close", "open", "AT", "AT", "AT"}, kIdentified})},
    {"status unanswered", {{0x0C, {kSilent, kSilent, kSilent}}}, false, "Error in reading phone's status in DM",
     {"open", "AT", "close", "open", "Status", "Status", "Status"}},
    {"status with a wrong command byte twice", {{0x0C, {kWrongByte, kWrongByte}}}, true, "",
     {"open", "AT", "close", "open", "Status", "Status", "Status", "Version", "NvRead 2045"}},
    {"version unanswered", {{0x00, {kSilent, kSilent, kSilent}}}, false, "Error in getting phone's information",
     {"open", "AT", "close", "open", "Status", "Version", "Version", "Version"}},
    {"another model", {{0x00, {ScriptedHandset::VersionAnswer("Jun 20 2006", "AB12.5", 0x92)}}}, false,
     "This phone is not identical with this module.\nPlease select another module !",
     {"open", "AT", "close", "open", "Status", "Version"}},
    {"hardware version item unanswered", {{0x26, {kSilent, kSilent, kSilent}}}, false, "Error in getting phone's information",
     {"open", "AT", "close", "open", "Status", "Version", "NvRead 2045", "NvRead 2045", "NvRead 2045"}},
    {"hardware version item with a wrong command byte once", {{0x26, {kWrongByte}}}, true, "",
     {"open", "AT", "close", "open", "Status", "Version", "NvRead 2045", "NvRead 2045"}},
};
} // namespace

class ConnectionSetupTest : public EngineTest, public ::testing::WithParamInterface<SetupCase> {};

TEST_P(ConnectionSetupTest, FallsBackAndFailsAsTheHandsetAnswers)
{
    const SetupCase& c = GetParam();
    SCOPED_TRACE(c.name);
    Prepare(0, c.script);
    EXPECT_EQ(c.identified, ConnectionSetup::ConnectAndIdentify());
    EXPECT_EQ(c.error, ErrorText());
    EXPECT_EQ(c.line, handset.Line());
}

INSTANTIATE_TEST_SUITE_P(Handsets, ConnectionSetupTest, ::testing::ValuesIn(kSetupCases),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

// The open before the status request is the one the request needs: when
// it fails, its own error says so, and the channel keeps the reason.
TEST_F(EngineTest, PortThatWillNotOpenEndsInTheOpenError)
{
    handset.RefuseOpens();
    EXPECT_FALSE(ConnectionSetup::ConnectAndIdentify());
    EXPECT_EQ("Cannot Open ComPort!", ErrorText()) << "no request ever goes out";
    EXPECT_EQ((std::vector<std::string>{"open refused", "close", "open refused", "close", "open refused"}), handset.Line());
}

TEST_F(EngineTest, IdentificationFillsTheTextsAndTheDocument)
{
    ASSERT_TRUE(ConnectionSetup::ConnectAndIdentify());
    auto& context = OperationContext::Instance();
    EXPECT_EQ("8D2A41F3", context.EsnText());
    EXPECT_EQ("(212) 555-0147", context.PhoneNumberText());
    EXPECT_EQ("AB12 ZF20", context.SoftwareVersionText());
    EXPECT_EQ("HW00.01", context.HardwareVersionText());
    EXPECT_EQ("8D2A41F3", doc.GetText(NvDoc::kEsn));
    uint8_t software[9];
    doc.Read(55864, software, 9);
    EXPECT_EQ("AB12 ZF20", std::string(software, software + 9));
    uint8_t hardware[8];
    doc.Read(479, hardware, 8);
    EXPECT_EQ(std::string("HW00.01") + '\0', std::string(hardware, hardware + 8));
    uint8_t byte48 = 0;
    doc.Read(34, &byte48, 1);
    EXPECT_EQ(6, byte48) << "byte 48 of the version answer";
}

TEST_F(EngineTest, AnotherModelIsRefusedAfterTheStatusTextsWereSet)
{
    handset.Queue(0x00, {ScriptedHandset::VersionAnswer("Jun 20 2006", "AB12.5", 0x92)});
    EXPECT_FALSE(ConnectionSetup::ConnectAndIdentify());
    EXPECT_EQ("8D2A41F3", OperationContext::Instance().EsnText());
    EXPECT_EQ("(212) 555-0147", OperationContext::Instance().PhoneNumberText());
}

namespace {
struct UnlockCase {
    const char* name;
    int toolType;
    Script script;
    bool unlocked;
    std::string error;
    std::vector<std::string> timeline; // after identification
};

const std::vector<std::string> kSpcTry = {"Spc 246810", "wait 3000"};
const std::vector<std::string> kResetAndLetGo = {"sleep 1000", "ModeControl 2", "disconnect"};

const UnlockCase kUnlockCases[] = {
    {"password accepted", 0, {}, true, "", {"Password", "wait 3000"}},
    {"password refused: the channel stays connected", 0, {{0x46, {{0x46, 0x00}}}}, false, "Password is Invalid!",
     {"Password", "wait 3000"}},
    {"password unanswered", 0, {{0x46, {kSilent, kSilent, kSilent}}}, false, "Password is Invalid!",
     Repeated({"Password", "wait 3000", "sleep 200"}, 3)},
    {"MSL code accepted", 1, {}, true, "", kSpcTry},
    {"MSL code refused", 1, {{0x41, {{0x41, 0x00}}}}, false, "Invalid Device Programming Code", Joined({kSpcTry, kResetAndLetGo})},
    {"MSL code unanswered", 1, {{0x41, {kSilent, kSilent, kSilent}}}, false, "Error in requesting MSL code",
     Joined({Repeated(Joined({kSpcTry, {"sleep 200"}}), 3), kResetAndLetGo})},
    {"MSL code answered with a wrong command byte", 1, {{0x41, {kWrongByte, kWrongByte, kWrongByte}}}, false,
     "Error in requesting MSL code", Joined({Repeated(Joined({kSpcTry, {"sleep 200"}}), 3), kResetAndLetGo})},
};
} // namespace

class UnlockTest : public EngineTest, public ::testing::WithParamInterface<UnlockCase> {};

TEST_P(UnlockTest, TheToolTypeChoosesThePath)
{
    const UnlockCase& c = GetParam();
    SCOPED_TRACE(c.name);
    prompts.code = "24681099"; // longer input is cut to 6 characters
    Prepare(c.toolType, {});
    if (c.toolType != 0) {
        ASSERT_TRUE(ConnectionSetup::RequestMsl());
    }
    ASSERT_TRUE(ConnectionSetup::ConnectAndIdentify());
    Prepare(c.toolType, c.script);
    size_t start = TimelineSize();
    EXPECT_EQ(c.unlocked, ConnectionSetup::UnlockWithMsl());
    EXPECT_EQ(c.error, ErrorText());
    EXPECT_EQ(c.timeline, TimelineFrom(start));
}

INSTANTIATE_TEST_SUITE_P(Handsets, UnlockTest, ::testing::ValuesIn(kUnlockCases),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST_F(EngineTest, CancelledMslCodeFailsBeforeAnyPortIsOpened)
{
    prompts.cancel = true;
    EXPECT_FALSE(ConnectionSetup::RequestMsl());
    EXPECT_EQ("input the MSL code", ErrorText());
    EXPECT_TRUE(handset.Line().empty());
}
