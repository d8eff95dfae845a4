// The tool on port 129 through a real ser2net in front of the simulated
// handset: the server's refusal of a second client, a link cut in the
// middle of a flash, and a second bench that tries for the handset all
// through a flash.
#include <gtest/gtest.h>

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "E2eFixture.h"
#include "Ser2netServer.h"
#include "samples/ImageMaker.h"

using namespace corvanetov;

namespace {
using namespace std::chrono_literals;
constexpr char kLinkInUse[] = "The network serial link is in use by another client";
constexpr char kLinkLineLost[] = "The line to the handset was lost";
constexpr char kLeftInDownloadMode[] = "The handset is waiting in download mode";
constexpr auto kFlashGiveUp = std::chrono::seconds(60);
// A refusal comes as ser2net accepts: a client that hears nothing in this
// time was taken.
constexpr auto kServersFirstWord = 500ms;
constexpr auto kBenchPollPeriod = 100ms; // the second bench's, as a script would
// The flashing tool's pace: the handset's restart into download mode then
// leaves a gap of some 1.2 s that the second bench polls through, and the
// answers' time-outs leave room for a loaded machine.
const std::vector<std::string> kPacedFlash = {"--time-scale", "0.1"};
// Slower still, for a server restarted in the gap: some 2.5 s.
const std::vector<std::string> kSlowFlash = {"--time-scale", "0.2"};

// A client of the test's own on the server's port.
class RawClient {
public:
    explicit RawClient(const std::string& address) : m_fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0))
    {
        sockaddr_in server{};
        server.sin_family = AF_INET;
        server.sin_port = htons(static_cast<uint16_t>(std::stoi(address.substr(address.rfind(':') + 1))));
        server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_connected = ::connect(m_fd, reinterpret_cast<sockaddr*>(&server), sizeof server) == 0;
    }
    ~RawClient() { ::close(m_fd); }
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    // Connected, and not told to go within the server's first word.
    bool Taken() const
    {
        pollfd pfd{m_fd, POLLIN, 0};
        return m_connected && ::poll(&pfd, 1, static_cast<int>(kServersFirstWord.count())) == 0;
    }

private:
    int m_fd;
    bool m_connected = false;
};
} // namespace

class NetworkLinkEndToEnd : public E2eFixture {
protected:
    void SetUp() override
    {
        E2eFixture::SetUp();
        if (Ser2netServer::Program().empty())
            GTEST_SKIP() << "ser2net is not installed (Debian's ser2net package): the network link's cases need a real one";
    }

    // The handset behind the server, and port 129 naming the server in the
    // port tables of both benches.
    void Serve(const std::vector<std::string>& handsetOptions)
    {
        std::string why;
        ASSERT_TRUE(m_server.Start(StartHandset(handsetOptions), m_folder, why)) << why;
        for (const auto& environment : {Environment(), SecondBench()}) {
            ChildProcess::Result set = ChildProcess::Run({CORVANETOV_CLI_PATH, "ports", "telnet", m_server.Address()}, environment);
            ASSERT_EQ(0, set.exitCode) << set.err;
        }
    }

    // Another technician's machine: settings and claims of its own, so that
    // nothing but the server stands between it and the handset.
    std::vector<std::string> SecondBench() const
    {
        return {"XDG_CONFIG_HOME=" + m_folder + "/bench2", "CORVANETOV_LOCK_DIR=" + m_folder + "/bench2",
                "XDG_DATA_HOME=" + m_folder + "/bench2"};
    }

    // An image of this size, the handset behind the server, and a flash of
    // it on port 129 at the tool's pace; the flash's output file.
    std::string StartFlash(ChildProcess& tool, uint64_t imageSize, const std::vector<std::string>& handsetOptions,
                           const std::vector<std::string>& pace)
    {
        EXPECT_TRUE(ImageMaker::WriteCode(Code(), imageSize, ImageMaker::kBootPartSize, ImageMaker::kVersion));
        Serve(handsetOptions);
        if (HasFatalFailure())
            return {}; // the tests stop on the server's failure
        std::vector<std::string> arguments = {CORVANETOV_CLI_PATH};
        arguments.insert(arguments.end(), pace.begin(), pace.end());
        arguments.insert(arguments.end(), {"--port", "129", "flash", "--option", "0", "--code", Code()});
        const std::string output = m_folder + "/flash.txt";
        tool.StartLogged(arguments, Environment(), output);
        return output;
    }

    std::string Code() const { return m_folder + "/code.bin"; }
    std::string Flashed() const { return m_folder + "/flashed.bin"; }

    Ser2netServer m_server;
};

// While another client has the server's port, the tool is told so as it
// connects, before it sends anything; once that client is gone it gets in.
TEST_F(NetworkLinkEndToEnd, ServersRefusalIsToldBeforeAnythingIsSent)
{
    Serve({});
    const std::string trace = m_folder + "/refused.trace";
    {
        RawClient other(m_server.Address());
        ASSERT_TRUE(other.Taken());
        ChildProcess::Result refused = Cli({"--trace", trace, "--port", "129", "info"});
        EXPECT_EQ(1, refused.exitCode);
        EXPECT_NE(std::string::npos, refused.err.find(kLinkInUse)) << refused.err;
        EXPECT_EQ(std::string::npos, refused.err.find(kLinkLineLost)) << refused.err;
        EXPECT_EQ(std::string::npos, FileText(trace).find("TX")) << FileText(trace);
    }
    EXPECT_TRUE(LoggedRequests().empty());
    ChildProcess::Result served = Cli({"--port", "129", "info"});
    EXPECT_EQ(0, served.exitCode) << served.err;
    EXPECT_NE(std::string::npos, served.out.find("ESN:")) << served.out;
}

// The server goes away in the middle of the blocks: the flash ends at once
// with the lost line and says where the handset was left.
TEST_F(NetworkLinkEndToEnd, LinkCutMidFlashIsTheLostLine)
{
    ChildProcess flash;
    const std::string output = StartFlash(flash, 0x20000, {"--line-rate", "115200"}, kPacedFlash);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(AwaitRequests("WriteBlockRequest", 2)) << FileText(output);
    const size_t blocksBeforeCut = Requests("WriteBlockRequest");
    m_server.Stop();
    const auto cut = std::chrono::steady_clock::now();
    EXPECT_EQ(1, flash.WaitForExit(kFlashGiveUp)) << FileText(output);
    EXPECT_LT(std::chrono::steady_clock::now() - cut, 10s) << "a lost line is told at once, not at a time-out";
    const std::string told = FileText(output);
    EXPECT_NE(std::string::npos, told.find(kLinkLineLost)) << told;
    EXPECT_NE(std::string::npos, told.find(kLeftInDownloadMode)) << told;
    EXPECT_LE(Requests("WriteBlockRequest"), blocksBeforeCut + 1) << "nothing more reached the handset";
}

// A second bench runs `info` every 0.1 s from the flash's first request to
// its end. The flash's one connection to the server keeps it out all
// through, the handset's restart into download mode included, and the
// flash completes.
TEST_F(NetworkLinkEndToEnd, SecondBenchPollingThroughTheRestartGapIsKeptOut)
{
    ChildProcess flash;
    const std::string output = StartFlash(flash, 0x9000, {"--reset-ms", "10000", "--flash-out", Flashed()}, kPacedFlash);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(AwaitRequests("DmSwitchCommand", 1)) << FileText(output);
    size_t polls = 0;
    size_t inRestartGap = 0;
    std::string served;
    while (flash.WaitForExit(0ms) == ChildProcess::kStillRunning) {
        const bool restarting = Requests("DownloadModeRequest") > 0 && Requests("StartRequest") == 0;
        ChildProcess::Result info = ChildProcess::Run({CORVANETOV_CLI_PATH, "--port", "129", "info"}, SecondBench());
        if (flash.WaitForExit(0ms) != ChildProcess::kStillRunning)
            break; // it may have started after the flash let go
        ++polls;
        inRestartGap += restarting;
        if (info.exitCode == 0 || info.err.find(kLinkInUse) == std::string::npos)
            served += "poll " + std::to_string(polls) + " (exit " + std::to_string(info.exitCode) + "): " + info.err + "\n";
        std::this_thread::sleep_for(kBenchPollPeriod);
    }
    ASSERT_EQ(0, flash.WaitForExit(kFlashGiveUp)) << FileText(output) << "\n--\n" << served;
    EXPECT_TRUE(served.empty()) << served;
    EXPECT_NE(std::string::npos, FileText(output).find("Warning: over a network link")) << FileText(output);
    EXPECT_GE(inRestartGap, 1u) << "of " << polls << " polls";
    std::vector<uint8_t> image = ImageMaker::Read(Code());
    std::vector<uint8_t> written = ImageMaker::Read(Flashed());
    ASSERT_GE(written.size(), image.size());
    EXPECT_TRUE(std::equal(image.begin(), image.end(), written.begin()));
}

// A server that loses its serial device while the handset restarts (a USB
// handset leaving its bus) hangs up the held connection, and another client
// can take the server first: the flash ends naming that client as the
// reason, and says where the handset was left.
TEST_F(NetworkLinkEndToEnd, ClientThatTookTheServerInTheRestartGapIsNamed)
{
    ChildProcess flash;
    const std::string output = StartFlash(flash, 0x9000, {"--reset-ms", "10000"}, kSlowFlash);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(AwaitRequests("DownloadModeRequest", 1)) << FileText(output);
    std::string why;
    ASSERT_TRUE(m_server.Restart(why)) << why;
    RawClient other(m_server.Address());
    ASSERT_TRUE(other.Taken());
    EXPECT_EQ(1, flash.WaitForExit(kFlashGiveUp)) << FileText(output);
    const std::string told = FileText(output);
    EXPECT_NE(std::string::npos, told.find(kLinkInUse)) << told;
    EXPECT_NE(std::string::npos, told.find(kLeftInDownloadMode)) << told;
    EXPECT_EQ(0u, Requests("StartRequest"));
}
