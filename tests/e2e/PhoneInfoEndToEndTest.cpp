#include <gtest/gtest.h>

#include <regex>

#include "E2eFixture.h"
#include "EngineAgainstHandset.h"
#include "comm/BaseComm.h"
#include "comm/PortResolver.h"
#include "engine/ConnectionSetup.h"
#include "engine/OperationContext.h"
#include "engine/OperationWorker.h"
#include "engine/PhoneInfoRead.h"
#include "nv/NvDoc.h"
#include "platform/Pacing.h"

using namespace corvanetov;
using namespace corvanetov::detail;

namespace {
constexpr double kEndlessPauses = 1000.0;
const std::vector<std::string> kIdentity = {"--esn", "8D2A41F3", "--phone-number", "(212) 555-0147", "--compile-date",
                                            "Jun 20 2006", "--version-text", "AB12.5", "--hw-version", "HW00.01"};

// The error text stands alone on the last lines of standard error, after
// the progress lines.

} // namespace

TEST_F(E2eFixture, CliReadsTheHandsetsIdentity)
{
    StartHandset(kIdentity);
    auto ports = Cli({"ports"});
    EXPECT_EQ(0, ports.exitCode);
    EXPECT_NE(std::string::npos, ports.out.find("<- handset"));

    auto text = Cli({"info"});
    ASSERT_EQ(0, text.exitCode) << text.err;
    EXPECT_NE(std::string::npos, text.out.find("ESN:              8D2A41F3"));
    EXPECT_NE(std::string::npos, text.out.find("Software version: AB12 ZF20"));
    EXPECT_NE(std::string::npos, text.out.find("Hardware version: HW00.01"));
    EXPECT_NE(std::string::npos, text.err.find("Response Received"));

    auto json = Cli({"--json", "info", "--port", m_devicePath});
    ASSERT_EQ(0, json.exitCode) << json.err;
    EXPECT_TRUE(std::regex_search(json.out, std::regex(R"("phone":"\(\d{3}\) \d{3}-\d{4}")"))) << json.out;
    EXPECT_NE(std::string::npos, json.out.find(R"("esn":"8D2A41F3")"));
    EXPECT_NE(std::string::npos, json.out.find(R"("software":"AB12 ZF20")"));
}

TEST_F(E2eFixture, CliJsonHoldsOnlyReadableTexts)
{
    StartHandset({"--compile-date", "Jun 20 1900", "--version-text", "AB12.5", "--hw-version", "REV\x80\x1b.3"});
    auto json = Cli({"--json", "info"});
    ASSERT_EQ(0, json.exitCode) << json.err;
    EXPECT_NE(std::string::npos, json.out.find(R"("software":"AB12  F20")")) << json.out;
    EXPECT_NE(std::string::npos, json.out.find(R"("hardware":"REV??.3")")) << json.out;
}

TEST_F(E2eFixture, CliReportsFailuresInTheSystemsWords)
{
    StartHandset(With(kIdentity, {"--model-code", "146"}));
    auto wrongModel = Cli({"info"});
    EXPECT_EQ(1, wrongModel.exitCode);
    EXPECT_TRUE(EndsWith(wrongModel.err, "\nThis phone is not identical with this module.\nPlease select another module !\n"))
        << wrongModel.err;
    m_handset.Stop();

    StartHandset(With(kIdentity, {"--drop", "status:99"}));
    auto silent = Cli({"info"});
    EXPECT_EQ(1, silent.exitCode);
    EXPECT_TRUE(EndsWith(silent.err, "\nError in reading phone's status in DM\n")) << silent.err;

    m_handset.Stop();
    auto noDevice = Cli({"info", "--port", "COM1"});
    EXPECT_EQ(1, noDevice.exitCode);
    EXPECT_NE(std::string::npos, noDevice.err.find("\nCannot Open ComPort!\n  ")) << "the reason follows the error";

    EXPECT_EQ(2, Cli({"info", "--tool-type", "x"}).exitCode);
    EXPECT_EQ(2, Cli({}).exitCode);
}

TEST_F(E2eFixture, CliEndsCleanlyWhenTheLineGoesAwayOrIsTaken)
{
    StartHandset(With(kIdentity, {"--hangup", "status:1"}));
    auto pulled = Cli({"info"});
    EXPECT_EQ(1, pulled.exitCode);
    EXPECT_TRUE(EndsWith(pulled.err, "\nError in reading phone's status in DM\n"
                                     "The line to the handset was lost (cable pulled or device gone).\n"))
        << pulled.err;
    m_handset.Stop();

    StartHandset(kIdentity);
    PortResolver::Instance().Set([this](uint8_t) { return m_devicePath; });
    BaseComm holder;
    holder.CreateResponseEvent(2);
    holder.Configure(1, 115200, 8, 0, 0);
    holder.CreateIoEvents();
    ASSERT_TRUE(holder.Open());
    auto busy = Cli({"info"});
    PortResolver::Instance().Set(nullptr);
    EXPECT_EQ(1, busy.exitCode);
    EXPECT_NE(std::string::npos, busy.err.find("\nCannot Open ComPort!\n")) << busy.err;
    EXPECT_NE(std::string::npos, busy.err.find("in use by another program")) << "the user is told why";
}

TEST_F(EngineAgainstHandset, IdentificationFillsTheDocument)
{
    Attach(kIdentity);
    ASSERT_TRUE(ConnectionSetup::ConnectAndIdentify()) << OperationContext::Instance().ErrorText();
    auto& context = OperationContext::Instance();
    EXPECT_EQ("8D2A41F3", context.EsnText());
    EXPECT_EQ("(212) 555-0147", context.PhoneNumberText());
    EXPECT_EQ("AB12 ZF20", context.SoftwareVersionText());
    EXPECT_EQ("HW00.01", context.HardwareVersionText());
    uint8_t software[9];
    doc.Read(55864, software, 9);
    EXPECT_EQ(" AB12 ZF20", " " + std::string(software, software + 9));
    uint8_t hardware[8];
    doc.Read(479, hardware, 8);
    EXPECT_EQ(std::string("HW00.01") + '\0', std::string(hardware, hardware + 8));
}

TEST_F(EngineAgainstHandset, ToolTypeZeroUnlocksWithThePasswordWithoutAsking)
{
    Attach(kIdentity);
    ASSERT_TRUE(ConnectionSetup::ConnectAndIdentify());
    EXPECT_TRUE(ConnectionSetup::UnlockWithMsl());
    EXPECT_EQ(0, prompts.asked);
    EXPECT_EQ(1u, Requests("PasswordRequest"));
    EXPECT_EQ(0u, Requests("SpcRequest"));
}

TEST_F(EngineAgainstHandset, RefusedPasswordLeavesTheChannelConnected)
{
    Attach(With(kIdentity, {"--refuse-password"}));
    ASSERT_TRUE(ConnectionSetup::ConnectAndIdentify());
    EXPECT_FALSE(ConnectionSetup::UnlockWithMsl());
    EXPECT_EQ("Password is Invalid!", OperationContext::Instance().ErrorText());
    EXPECT_TRUE(OperationContext::Instance().Channel()->IsConnected());
}

TEST_F(EngineAgainstHandset, MslCodePath)
{
    Attach(With(kIdentity, {"--msl", "246810"}));
    auto& context = OperationContext::Instance();
    context.SetToolType(1);

    prompts.cancel = true;
    EXPECT_FALSE(ConnectionSetup::RequestMsl());
    EXPECT_EQ("input the MSL code", context.ErrorText());
    EXPECT_TRUE(LoggedRequests().empty()) << "a cancelled MSL must fail before any port is opened";

    prompts.cancel = false;
    prompts.code = "24681099"; // longer input is cut to 6 characters
    ASSERT_TRUE(ConnectionSetup::RequestMsl());
    ASSERT_TRUE(ConnectionSetup::ConnectAndIdentify());
    EXPECT_TRUE(ConnectionSetup::UnlockWithMsl()) << context.ErrorText();

    prompts.code = "111111";
    ASSERT_TRUE(ConnectionSetup::RequestMsl());
    ASSERT_TRUE(ConnectionSetup::ConnectAndIdentify());
    EXPECT_FALSE(ConnectionSetup::UnlockWithMsl());
    EXPECT_EQ("Invalid Device Programming Code", context.ErrorText());
    EXPECT_FALSE(context.Channel()->IsConnected()) << "a refused MSL resets the handset and lets go of the port";
    // The reset goes out unanswered just before the port closes: the handset
    // reads it in its own time.
    EXPECT_TRUE(AwaitRequests("ModeControlRequest", 1)) << "the handset never got the reset";
}

TEST_F(EngineAgainstHandset, StopDuringThePauseFreesThePortAtOnce)
{
    Attach(kIdentity);
    double scale = Pacing::Instance().TimeScale();
    Pacing::Instance().SetTimeScale(1.0);
    OperationWorker worker;
    ASSERT_TRUE(worker.Start(&PhoneInfoRead::Run));
    ASSERT_TRUE(AwaitRequests("DmSwitchCommand", 1));
    // From here every pause lasts close to an hour: the worker is in one of
    // them (the settle after the AT command, or the one before the status
    // request) until the stop wakes it, however late this thread runs.
    Pacing::Instance().SetTimeScale(kEndlessPauses);
    worker.Stop();
    worker.Join();
    Pacing::Instance().SetTimeScale(scale);
    BaseComm other;
    other.CreateResponseEvent(1);
    other.Configure(7, 115200, 8, 0, 0);
    other.CreateIoEvents();
    EXPECT_TRUE(other.Open()) << "the stopped worker let go of the port: " << other.OpenError();
    EXPECT_EQ(0u, Requests("StatusRequest")) << "the stop came before the status request";
}
