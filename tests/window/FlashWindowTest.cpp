// The software download in the real window: the handset is the flash's
// alone until it ends, a stopped flash says where it left the handset and
// is recovered from there, and the window tells how far the download is and
// what the handset runs afterwards.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <signal.h>
#include <thread>

#include "WindowFixture.h"
#include "samples/ImageMaker.h"
#include "engine/EngineConstants.h"
#include "forms/FormConstants.h"
#include "hostlink/PluginAbi.h"

using namespace corvanetov;

namespace fs = std::filesystem;

namespace {
const char kPortConnected[] = "Com1 Connected";
// The host finds its images below its current folder.
const char kSoftwareFile[] = "Models/VQX-B290/Software/B410V01.06.bin";
constexpr int kSoftwareDownloadTab = 1;
const char kNewVersion[] = "B410V01.06";
// The flash lets go of the port while the handset restarts into download
// mode; the handset takes its time there.
const std::vector<std::string> kRestartingHandset = {"--reset-ms", "3000"};
constexpr double kFlashTimeScale = 0.05;
// A stop in the middle of the blocks: each block takes 0.7 s on the line,
// which the block wait lets it take at this scale.
constexpr double kStoppableTimeScale = 0.3;
const std::vector<std::string> kRealLine = {"--line-rate", "115200"};
// Down from NORMAL(Phone) in the option list.
constexpr int kToEmergencyPhone = 3;

// What a program's trace says as it opens a port.
constexpr char kOpening[] = "\nOpening ";

bool OpenedAPort(const std::string& trace)
{
    std::ifstream in(trace);
    return std::string{std::istreambuf_iterator<char>(in), {}}.find(kOpening) != std::string::npos;
}

std::string Busy(int pid, const char* program)
{
    return std::string("COM1 is busy: ") + program + " (pid " + std::to_string(pid) + ") is flashing it";
}
} // namespace

class FlashWindow : public WindowFixture {
protected:
    // The host looks for the images below its current folder: the case's own.
    void SetUp() override
    {
        WindowFixture::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        m_startFolder = fs::current_path();
        fs::current_path(m_folder);
    }
    void TearDown() override
    {
        if (!m_startFolder.empty())
            fs::current_path(m_startFolder);
        WindowFixture::TearDown();
    }

    void WriteImage(uint64_t size) const
    {
        fs::create_directories(fs::path(kSoftwareFile).parent_path());
        ASSERT_TRUE(ImageMaker::WriteCode(kSoftwareFile, size, ImageMaker::kBootPartSize, ImageMaker::kVersion));
    }
    std::string FlashOut() const { return m_folder + "/flashed.bin"; }

    // The handset, then the host on its software download view.
    void StartOnDownloadView(std::vector<std::string> handset, double timeScale)
    {
        handset.insert(handset.end(), {"--flash-out", FlashOut(), "--version-after-flash", kNewVersion});
        StartHandset(handset);
        StartHost(timeScale);
        ASSERT_TRUE(WaitForEcho(StatusLine(PluginAbi::kPortLine, kPortConnected))) << "the port was not found";
        ASSERT_TRUE(WaitUntil([&] { return ShootReadButton().has_value(); })) << "the window was not drawn";
        ASSERT_NO_FATAL_FAILURE(ToTab(kSoftwareDownloadTab));
    }

    bool WaitForRequest(const std::string& command) const
    {
        return WaitUntil([&] { return HandsetRequests(command) > 0; });
    }

    void ExpectFlashed() const
    {
        std::vector<uint8_t> image = ImageMaker::Read(kSoftwareFile);
        std::vector<uint8_t> flashed = ImageMaker::Read(FlashOut());
        ASSERT_GE(flashed.size(), image.size());
        EXPECT_TRUE(std::equal(image.begin(), image.end(), flashed.begin()));
    }

    // The close button, clicked again, as a technician would, when the
    // question has not come within a few seconds (on a loaded machine the
    // window now and then missed the first request); true once the
    // question has been asked `count` times.
    bool CloseByButton(int count) const
    {
        for (int click = 0; click < kCloseClicks; ++click) {
            if (!AskMainWindowToClose())
                return false;
            const auto deadline = std::chrono::steady_clock::now() + kCloseWait;
            while (std::chrono::steady_clock::now() < deadline) {
                if (EchoCount(DialogText(FormConstants::kStopQuestion)) >= count)
                    return true;
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        }
        return false;
    }

    std::string EndOfFlash() const
    {
        return DialogText(std::string(engine::kFlashingDone) + "\\n" + engine::kNowRunning + kNewVersion);
    }

private:
    static constexpr int kCloseClicks = 6;
    static constexpr std::chrono::seconds kCloseWait{4};

    fs::path m_startFolder;
};

// A second window, and corvanetov-cli, started while the flash has let go
// of the port for the handset's restart: both are refused, naming the
// window, and send nothing; the flash completes, its progress line in the
// status bar, and names the version the handset restarted with.
TEST_F(FlashWindow, SecondHostIsRefusedAndTheFlashCompletes)
{
    ASSERT_NO_FATAL_FAILURE(WriteImage(0x60000)); // two passes: boot and main
    ASSERT_NO_FATAL_FAILURE(StartOnDownloadView(kRestartingHandset, kFlashTimeScale));
    ASSERT_TRUE(ClickReadButton()) << "no start button";
    ASSERT_TRUE(WaitForRequest("DownloadModeRequest"));
    const std::string busy = Busy(m_host.Pid(), "corvanetov");

    // Their own traces say whether they opened the port: the handset's log
    // cannot tell their requests from the flash's, whose identifications a
    // busy machine may repeat.
    const std::string cliTrace = m_folder + "/cli.trace";
    ChildProcess::Result cli = ChildProcess::Run({CORVANETOV_CLI_PATH, "--trace", cliTrace, "info"}, CliEnvironment());
    EXPECT_EQ(1, cli.exitCode);
    EXPECT_NE(std::string::npos, cli.err.find(busy)) << cli.err;
    EXPECT_FALSE(OpenedAPort(cliTrace)) << "the refused command line opened the port";

    ChildProcess second;
    const std::string secondLog = m_folder + "/second.log";
    const std::string secondTrace = m_folder + "/second.trace";
    StartAnotherHost(second, secondLog, kTimeScale, {"CORVANETOV_TRACE=" + secondTrace});
    ASSERT_TRUE(WaitForEcho(StatusLine(PluginAbi::kPortLine, kPortConnected), 1, secondLog));
    // The second window lies over the first: its read button is the one seen.
    ASSERT_TRUE(WaitUntil([&] { return ShootReadButton().has_value(); }));
    ASSERT_TRUE(ClickReadButton());
    ASSERT_TRUE(WaitForEcho(DialogText(busy), 1, secondLog));
    AnswerDialog("Return");

    EXPECT_TRUE(WaitForEcho(StatusLine(PluginAbi::kStatusLine, "Flash Programming of Boot - pass 1 of 2, ")));
    EXPECT_TRUE(WaitForEcho(StatusLine(PluginAbi::kStatusLine, "Flash Programming of Main - pass 2 of 2, ")));
    // Bytes of the whole download, then the throughput and the time left.
    EXPECT_TRUE(WaitForEcho("KiB of 448.0 KiB, "));
    ASSERT_TRUE(WaitForEcho(EndOfFlash()));
    EXPECT_FALSE(OpenedAPort(secondTrace)) << "the refused window opened the port";
    EXPECT_LE(2, HandsetRequests("DmSwitchCommand")) << "the flash's own identifications, before and after";
    ExpectFlashed();
}

// Stop -> Enter keeps the flash; Stop -> Yes leaves the handset in download
// mode, and the window says so and how to recover it: EMERGENCY(Phone)
// flashes it, and the handset runs its new software. The view's rows keep
// their places while the download runs.
TEST_F(FlashWindow, StoppedFlashIsRecoveredWithEmergency)
{
    ASSERT_NO_FATAL_FAILURE(WriteImage(0x9000)); // the boot pass alone
    ASSERT_NO_FATAL_FAILURE(StartOnDownloadView(kRealLine, kStoppableTimeScale));
    std::optional<ReadButtonShot> before = ShootReadButton();
    ASSERT_TRUE(before);
    ASSERT_TRUE(ClickReadButton()) << "no start button";
    ASSERT_TRUE(WaitForRequest("WriteBlockRequest"));
    std::optional<ReadButtonShot> during = ShootReadButton();
    ASSERT_TRUE(during);
    // Its caption, and so its width, changes to "Stop"; its row stays.
    EXPECT_EQ(before->button.y, during->button.y) << "the rows moved when the download started";

    ASSERT_TRUE(ClickReadButton());
    ASSERT_TRUE(WaitForEcho(DialogText(FormConstants::kStopQuestion)));
    AnswerDialog("Return");
    ASSERT_TRUE(WaitUntilNoDialog());
    const int blocks = HandsetRequests("WriteBlockRequest");
    EXPECT_TRUE(WaitUntil([&] { return HandsetRequests("WriteBlockRequest") > blocks; })) << "Enter stopped the flash";

    ASSERT_TRUE(ClickReadButton());
    ASSERT_TRUE(WaitForEcho(DialogText(FormConstants::kStopQuestion), 2));
    AnswerDialog("y");
    ASSERT_TRUE(WaitForEcho(DialogText(engine::kWaitingInDownloadMode)));
    AnswerDialog("Return");
    ASSERT_TRUE(WaitUntilNoDialog());

    // As the message says: EMERGENCY(Phone). The keyboard's way: to the
    // start button, back past the keep box to the option list above it,
    // down to the option, and on to the start button again (the keep box
    // is not offered for an EMERGENCY option).
    ASSERT_TRUE(WaitUntil([&] {
        std::optional<ReadButtonShot> seen = ShootReadButton();
        if (seen && seen->shot.ShowsFocus(seen->button))
            return true;
        Keys({"Tab"});
        return false;
    })) << "the start button never had the focus";
    std::vector<std::string> keys = {"shift+Tab", "shift+Tab"};
    keys.insert(keys.end(), kToEmergencyPhone, "Down");
    keys.insert(keys.end(), {"Tab", "space"});
    Keys(keys);
    ASSERT_TRUE(WaitForEcho(StatusLine(PluginAbi::kStatusLine, engine::kRebooting)));
    ASSERT_TRUE(WaitForEcho(EndOfFlash()));
    EXPECT_EQ(1, HandsetRequests("DownloadModeRequest")) << "the recovery did not switch the handset again";
    ExpectFlashed();
}

// However the window is closed during a flash, the stop question comes
// first, No its default: Ctrl+Q answered with Enter and the close button
// answered No leave the flash running to its end.
TEST_F(FlashWindow, ClosingDuringAFlashAsksAndNoGoesOn)
{
    ASSERT_NO_FATAL_FAILURE(WriteImage(0x10000));
    ASSERT_NO_FATAL_FAILURE(StartOnDownloadView(kRealLine, kStoppableTimeScale));
    ASSERT_TRUE(ClickReadButton()) << "no start button";
    ASSERT_TRUE(WaitForRequest("WriteBlockRequest"));

    // Ctrl+Q first: a close refused from inside Qt's own closing used to
    // leave the window deaf to the close button after it.
    Keys({"ctrl+q"});
    ASSERT_TRUE(WaitForEcho(DialogText(FormConstants::kStopQuestion)));
    AnswerDialog("Return");
    ASSERT_TRUE(WaitUntilNoDialog());
    ASSERT_TRUE(CloseByButton(2));
    AnswerDialog("n");
    ASSERT_TRUE(WaitUntilNoDialog());
    ASSERT_TRUE(WaitForEcho(EndOfFlash()));
    ExpectFlashed();
    EXPECT_TRUE(HostRunning());
    EXPECT_FALSE(NotedInDownloadMode());
}

// Yes to the question, or SIGTERM without one, stops the flash as Stop ->
// Yes does before the host ends: the handset is noted as waiting in
// download mode, and the stopped flash is in the service history. The next
// host says so as it starts.
enum class FlashClosing { CtrlQ, CloseButton, Terminated };

class FlashWindowClosing : public FlashWindow, public ::testing::WithParamInterface<FlashClosing> {};

TEST_P(FlashWindowClosing, YesStopsTheFlashAndKeepsTheDownloadModeNote)
{
    ASSERT_NO_FATAL_FAILURE(WriteImage(0x10000));
    ASSERT_NO_FATAL_FAILURE(StartOnDownloadView(kRealLine, kStoppableTimeScale));
    ASSERT_TRUE(ClickReadButton()) << "no start button";
    ASSERT_TRUE(WaitForRequest("WriteBlockRequest"));

    switch (GetParam()) {
    case FlashClosing::CtrlQ:
        Keys({"ctrl+q"});
        break;
    case FlashClosing::CloseButton:
        ASSERT_TRUE(CloseByButton(1));
        break;
    case FlashClosing::Terminated:
        ::kill(m_host.Pid(), SIGTERM);
        break;
    }
    if (GetParam() != FlashClosing::Terminated) {
        ASSERT_TRUE(WaitForEcho(DialogText(FormConstants::kStopQuestion)));
        AnswerDialog("y");
    }
    EXPECT_EQ(0, WaitForHostExit());
    EXPECT_EQ(0, EchoCount(EndOfFlash()));
    EXPECT_TRUE(NotedInDownloadMode());
    const ChildProcess::Result history =
        ChildProcess::Run({CORVANETOV_CLI_PATH, "history", "--json"}, CliEnvironment());
    EXPECT_NE(std::string::npos, history.out.find("\"result\":\"stopped\"")) << history.out << history.err;

    // The next start names the handset left in download mode at once.
    ChildProcess next;
    const std::string nextLog = m_folder + "/next.log";
    StartAnotherHost(next, nextLog);
    EXPECT_TRUE(WaitForEcho(StatusLine(PluginAbi::kStatusLine, std::string("COM1: ") + engine::kMayWaitInDownloadMode), 1, nextLog));
}

INSTANTIATE_TEST_SUITE_P(Window, FlashWindowClosing,
                         ::testing::Values(FlashClosing::CtrlQ, FlashClosing::CloseButton, FlashClosing::Terminated),
                         [](const auto& info) {
                             switch (info.param) {
                             case FlashClosing::CtrlQ:
                                 return std::string("CtrlQ");
                             case FlashClosing::CloseButton:
                                 return std::string("CloseButton");
                             default:
                                 return std::string("Terminated");
                             }
                         });
