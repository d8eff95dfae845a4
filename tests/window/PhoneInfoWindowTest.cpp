#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <thread>

#include "PortHolder.h"
#include "WindowFixture.h"
#include "engine/EngineConstants.h"
#include "forms/FormConstants.h"
#include "forms/PhoneInfoConstants.h"
#include "hostlink/PluginAbi.h"

using namespace corvanetov;

namespace pi = PhoneInfoConstants;

namespace {
// Request names in the simulator's log.
const char kDmSwitch[] = "DmSwitchCommand";
const char kStatusRequest[] = "StatusRequest";
const char kAnyDialog[] = "dialog: ";
// From the window's first focus to the read button: Tab to the grid, and
// Tab out of it to the button.
const std::vector<std::string> kKeysToTheReadButton = {"Tab", "Tab"};
const std::vector<std::string> kServiceHistoryMenu = {"alt+v", "h"};
const char kServiceHistoryWindow[] = "^Service history$";
const char kExportDialog[] = "^Export CSV$";
// The completed identifications of one handset in an exported file.
const char kCountReadsOfTheHandset[] = R"(import csv, sys
with open(sys.argv[1], newline='', encoding='utf-8') as f:
    rows = list(csv.DictReader(f))
print(sum(r['esn'] == sys.argv[2] and r['operation'] == 'identify' and r['result'] == 'completed' for r in rows)))";

std::string PortConnected(int port)
{
    char text[32];
    std::snprintf(text, sizeof text, pi::kPortConnected, port);
    return text;
}
} // namespace

// The phone information view with the simulated handset listed.
class PhoneInfoWindow : public WindowFixture {
protected:
    enum class Caption { Read, Stop };

    // Starts the host, waits until it has found the handset's port and
    // takes the look of the read caption.
    void StartReadyHost(double timeScale = kTimeScale)
    {
        StartHost(timeScale);
        ASSERT_TRUE(WaitForEcho(StatusLine(PluginAbi::kPortLine, PortConnected(1)))) << "the port was not found";
        ASSERT_TRUE(WaitUntil([&] {
            m_readInk = CaptionInk();
            return m_readInk > 0;
        })) << "no read button";
    }

    // "Stop" is a fraction as wide as "Read General Information".
    bool WaitForCaption(Caption caption) const
    {
        return WaitUntil([&] {
            int ink = CaptionInk();
            return ink > 0 && (ink > m_readInk / 2) == (caption == Caption::Read);
        });
    }

    bool WaitForReadButtonFocus() const
    {
        return WaitUntil([&] {
            std::optional<ReadButtonShot> seen = ShootReadButton();
            return seen && seen->shot.ShowsFocus(seen->button);
        });
    }

    // Reads with the mouse, and the read ends in a box with the text, closed with OK.
    void ReadEndingInABox(const char* text) const
    {
        ASSERT_TRUE(ClickReadButton());
        ASSERT_TRUE(WaitForEcho(DialogText(text)));
        AnswerDialog("Return");
        EXPECT_TRUE(WaitUntilNoDialog());
        EXPECT_TRUE(WaitForCaption(Caption::Read));
    }

    // The read is in its long pause before the status request, with the
    // port open, once the handset has been switched to diagnostic mode.
    bool WaitUntilReadHoldsThePort() const
    {
        return WaitUntil([&] { return HandsetRequests(kDmSwitch) > 0; });
    }

private:
    int CaptionInk() const
    {
        std::optional<ReadButtonShot> seen = ShootReadButton();
        return seen ? seen->shot.CaptionInkWidth(seen->button) : 0;
    }

    int m_readInk = 0;
};

TEST_F(PhoneInfoWindow, ReadsWithTheKeyboardOnlyThenWithTheMouse)
{
    StartHandset({"--esn", kSimulatedEsn});
    ASSERT_NO_FATAL_FAILURE(StartReadyHost());
    EXPECT_EQ(0, EchoCount(kAnyDialog)) << "with the handset listed nothing is asked";

    // The keyboard first, so that the way to the button starts from the
    // window's own first focus.
    VirtualDisplay::Window main = MainWindow();
    m_display.Focus(main);
    m_display.Keys(kKeysToTheReadButton);
    ASSERT_TRUE(WaitForReadButtonFocus()) << "the keys did not bring the focus to the read button";
    m_display.Keys({"space"});
    ASSERT_TRUE(WaitForEcho(StatusLine(PluginAbi::kPhoneLine, FormConstants::kEsnPrefix + std::string(kSimulatedEsn))));
    EXPECT_TRUE(WaitForEcho(StatusLine(PluginAbi::kStatusLine, engine::kResponseReceived)));
    EXPECT_TRUE(WaitForCaption(Caption::Read));
    EXPECT_EQ(1, HandsetRequests(kStatusRequest));
    if (std::optional<Screenshot> shot = Shot())
        KeepShot(*shot, main.frame, "after-keyboard-read.png");

    ASSERT_TRUE(ClickReadButton());
    EXPECT_TRUE(WaitForEcho(StatusLine(PluginAbi::kStatusLine, engine::kResponseReceived), 2));
    EXPECT_EQ(2, HandsetRequests(kStatusRequest));
    EXPECT_TRUE(WaitForCaption(Caption::Read));
    EXPECT_EQ(0, EchoCount(kAnyDialog));
}

// A bench fills up after the first read: three more handsets, listed
// before the first. The window stays on the handset it found: the port line
// never changes and the next read still reads the first handset.
TEST_F(PhoneInfoWindow, HandsetsPluggedInLaterLeaveTheWindowOnItsHandset)
{
    StartHandset({"--esn", kSimulatedEsn});
    ASSERT_NO_FATAL_FAILURE(StartReadyHost());
    const std::string esnLine = StatusLine(PluginAbi::kPhoneLine, FormConstants::kEsnPrefix + std::string(kSimulatedEsn));
    ASSERT_TRUE(ClickReadButton());
    ASSERT_TRUE(WaitForEcho(esnLine));
    ASSERT_TRUE(WaitForCaption(Caption::Read));

    StartTray(3);
    std::this_thread::sleep_for(std::chrono::seconds(1)); // ten turns of the window's watch of the listing

    ASSERT_TRUE(ClickReadButton());
    ASSERT_TRUE(WaitForEcho(StatusLine(PluginAbi::kStatusLine, engine::kResponseReceived), 2));
    EXPECT_EQ(2, HandsetRequests(kStatusRequest));
    EXPECT_EQ(0, EchoCount("8D2A41F0") + EchoCount("8D2A41F1") + EchoCount("8D2A41F2"));
    for (int port = 2; port <= 4; ++port)
        EXPECT_EQ(0, EchoCount(StatusLine(PluginAbi::kPortLine, PortConnected(port)))) << port;
}

// A read made in the window is in the service history the moment it ends:
// View > Service history lists it, and Export writes it as CSV that a
// spreadsheet (here python's csv module) reads back.
TEST_F(PhoneInfoWindow, TheReadIsInTheServiceHistoryAndItsExport)
{
    StartHandset({"--esn", kSimulatedEsn});
    ASSERT_NO_FATAL_FAILURE(StartReadyHost());
    VirtualDisplay::Window main = MainWindow();
    m_display.Focus(main);
    m_display.Keys(kKeysToTheReadButton);
    ASSERT_TRUE(WaitForReadButtonFocus());
    m_display.Keys({"space"});
    ASSERT_TRUE(WaitForEcho(StatusLine(PluginAbi::kStatusLine, engine::kResponseReceived)));

    m_display.Focus(main);
    m_display.Keys(kServiceHistoryMenu);
    VirtualDisplay::Window history = WaitForWindow(kServiceHistoryWindow);
    ASSERT_FALSE(history.id.empty()) << "no service history window";
    m_display.Focus(history);
    m_display.Keys({"alt+e"});
    VirtualDisplay::Window save = WaitForWindow(kExportDialog);
    ASSERT_FALSE(save.id.empty()) << "no export dialog";
    const std::string csv = m_folder + "/history.csv";
    m_display.Focus(save);
    m_display.Keys({"ctrl+a"});
    m_display.Type(csv);
    m_display.Keys({"Return"});
    ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(csv) && std::filesystem::file_size(csv) > 0; }))
        << "nothing exported";

    const ChildProcess::Result read = ChildProcess::Run({"/usr/bin/env", "python3", "-c", kCountReadsOfTheHandset, csv, kSimulatedEsn});
    EXPECT_EQ(0, read.exitCode) << read.err;
    EXPECT_EQ("1\n", read.out) << "the read is not listed once";
}

// A settings write made by the command line, undone from the history
// window by the keyboard: Enter at the confirmation writes nothing, Yes
// gives the handset its settings from before the write back.
TEST_F(PhoneInfoWindow, TheHistoryWindowUndoesASettingsWriteOnlyOnYes)
{
    StartHandset({"--lock-code", "1357"});
    ASSERT_NO_FATAL_FAILURE(StartReadyHost());
    auto cli = [&](const std::vector<std::string>& arguments) {
        std::vector<std::string> command = {CORVANETOV_CLI_PATH, "--time-scale", "0.1"};
        command.insert(command.end(), arguments.begin(), arguments.end());
        return ChildProcess::Run(command, CliEnvironment());
    };
    const std::string file = m_folder + "/user.mmc";
    ASSERT_EQ(0, cli({"settings", "read", file}).exitCode);
    ASSERT_EQ(0, cli({"settings", "set", file, "--lock-code", "2468"}).exitCode);
    ChildProcess::Result write = cli({"settings", "write", file});
    ASSERT_EQ(0, write.exitCode) << write.err;

    m_display.Focus(MainWindow());
    m_display.Keys(kServiceHistoryMenu);
    const VirtualDisplay::Window history = WaitForWindow(kServiceHistoryWindow);
    ASSERT_FALSE(history.id.empty()) << "no service history window";
    // The newest record, the write, is the one shown and undone.
    auto confirmation = [&] {
        m_display.Focus(history);
        m_display.Keys({"alt+u"});
        VirtualDisplay::Window box;
        WaitUntil([&] {
            for (const VirtualDisplay::Window& window : m_display.Windows(kServiceHistoryWindow))
                if (window.id != history.id)
                    box = window;
            return !box.id.empty();
        });
        return box;
    };
    const std::string question = DialogText("Write the settings kept before settings write");
    VirtualDisplay::Window box = confirmation();
    ASSERT_FALSE(box.id.empty()) << "no confirmation";
    ASSERT_TRUE(WaitForEcho(question));
    m_display.Focus(box);
    m_display.Keys({"Return"});
    ASSERT_TRUE(WaitUntil([&] { return m_display.Windows(kServiceHistoryWindow).size() == 1; }));

    box = confirmation();
    ASSERT_FALSE(box.id.empty()) << "no confirmation the second time";
    ASSERT_TRUE(WaitForEcho(question, 2));
    m_display.Focus(box);
    m_display.Keys({"alt+y"});
    ASSERT_TRUE(WaitForEcho(DialogText("The settings were written back.")));

    const std::string out = cli({"--json", "settings", "read", m_folder + "/now.mmc"}).out;
    EXPECT_NE(std::string::npos, out.find("\"lock_code\":\"1357\"")) << out;
    // Enter answered No: the one undo is Yes's.
    const ChildProcess::Result undos = cli({"history", "--operation", "history undo", "--json"});
    EXPECT_EQ(1, std::count(undos.out.begin(), undos.out.end(), '\n')) << undos.out;
}

TEST_F(PhoneInfoWindow, PulledCableMidReadEndsInAnErrorBox)
{
    StartHandset({"--hangup", "status:1"});
    ASSERT_NO_FATAL_FAILURE(StartReadyHost());
    ASSERT_NO_FATAL_FAILURE(ReadEndingInABox(engine::kErrStatus));
    QuitHost();
    EXPECT_EQ(0, WaitForHostExit());
}

// The device goes with the cable before the reopen: the window names the
// lost line, in the box and in the status line, and never shows the port
// as connected beside the failure.
TEST_F(PhoneInfoWindow, CablePulledBeforeTheReopenIsNamedAsTheLostLine)
{
    StartHandset({"--hangup", "at:1"});
    ASSERT_NO_FATAL_FAILURE(StartReadyHost());
    ASSERT_NO_FATAL_FAILURE(ReadEndingInABox(engine::kErrLineLost));
    EXPECT_LE(1, EchoCount(StatusLine(PluginAbi::kStatusLine, engine::kErrLineLost)));
    EXPECT_EQ(0, EchoCount(engine::kErrCannotOpen));
}

TEST_F(PhoneInfoWindow, PortHeldByAnotherProgramIsRefusedUntilItLetsGo)
{
    std::string device = StartHandset();
    auto other = std::make_unique<PortHolder>(device);
    ASSERT_TRUE(other->Held()) << other->Refusal();
    ASSERT_NO_FATAL_FAILURE(StartReadyHost());
    ASSERT_NO_FATAL_FAILURE(ReadEndingInABox(engine::kErrCannotOpen));
    EXPECT_EQ(0, HandsetRequests(kDmSwitch));

    other.reset();
    ASSERT_TRUE(ClickReadButton());
    EXPECT_TRUE(WaitForEcho(StatusLine(PluginAbi::kStatusLine, engine::kResponseReceived)));
}

TEST_F(PhoneInfoWindow, StopAnsweredNoReadsOnYesEndsTheReadAndFreesThePort)
{
    std::string device = StartHandset();
    ASSERT_NO_FATAL_FAILURE(StartReadyHost(kHeldReadTimeScale));
    ASSERT_TRUE(ClickReadButton());
    EXPECT_TRUE(WaitForCaption(Caption::Stop));
    ASSERT_TRUE(WaitUntilReadHoldsThePort());

    struct Answer {
        const char* key;
        Caption caption;
        bool portFree;
    };
    int questions = 0;
    for (const Answer& answer : {Answer{"n", Caption::Stop, false}, Answer{"y", Caption::Read, true}}) {
        SCOPED_TRACE(answer.key);
        ASSERT_TRUE(ClickReadButton());
        ASSERT_TRUE(WaitForEcho(DialogText(FormConstants::kStopQuestion), ++questions));
        AnswerDialog(answer.key);
        EXPECT_TRUE(WaitUntilNoDialog());
        EXPECT_TRUE(WaitForCaption(answer.caption));
        PortHolder other(device);
        EXPECT_EQ(answer.portFree, other.Held()) << other.Refusal();
    }
    EXPECT_TRUE(HostRunning());
}

// However the window goes, the host ends, saves the port and frees it: by
// File > Exit once the stop question is answered Yes, or destroyed from
// outside with no window manager to tell it (it used to run on for ever
// with nothing on screen), where nothing is left to ask on.
enum class Closing { FileExit, DestroyedFromOutside };

class PhoneInfoWindowClosing : public PhoneInfoWindow, public ::testing::WithParamInterface<Closing> {};

TEST_P(PhoneInfoWindowClosing, MidReadSavesThePortAndFreesIt)
{
    std::string device = StartHandset();
    ASSERT_NO_FATAL_FAILURE(StartReadyHost(kHeldReadTimeScale));
    ASSERT_TRUE(ClickReadButton());
    ASSERT_TRUE(WaitUntilReadHoldsThePort());
    EXPECT_FALSE(PortHolder(device).Held()) << "the read holds the port";

    if (GetParam() == Closing::FileExit) {
        QuitHost();
        ASSERT_TRUE(WaitForEcho(DialogText(FormConstants::kStopQuestion)));
        AnswerDialog("y");
    } else {
        DestroyMainWindow();
    }
    EXPECT_EQ(0, WaitForHostExit());
    EXPECT_EQ("1", StoredPort());
    PortHolder after(device);
    EXPECT_TRUE(after.Held()) << "the port stays taken: " << after.Refusal();
}

INSTANTIATE_TEST_SUITE_P(Window, PhoneInfoWindowClosing, ::testing::Values(Closing::FileExit, Closing::DestroyedFromOutside),
                         [](const auto& info) {
                             return std::string(info.param == Closing::FileExit ? "FileExit" : "DestroyedFromOutside");
                         });
