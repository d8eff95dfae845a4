// The pictures of the user guide, taken from the real host on a display of
// its own, against the simulated handset, after real operations: `make
// screenshots` runs this program with CORVANETOV_WINDOW_SHOTS naming the
// guide's image folder. Each case is one picture, and fails when the window
// does not show what its picture is there to show.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "samples/ImageMaker.h"
#include "samples/PrlListBytes.h"
#include "WindowFixture.h"
#include "engine/EngineConstants.h"
#include "forms/FormConstants.h"
#include "forms/SettingsConstants.h"
#include "hostlink/PluginAbi.h"

using namespace corvanetov;

namespace fs = std::filesystem;

namespace {
const char kPortConnected[] = "Com1 Connected";
const char kAnyDialog[] = "dialog: ";
const char kPortSettingCaption[] = "Port Setting";
const char kMslCaption[] = "Input MSL Code";

// The tabs after the phone information view, in the plug-in's order.
constexpr int kSoftwareDownloadTab = 1;
constexpr int kSettingsTab = 2;
// "More views" lists the views the plug-in builds but does not offer, in
// the order it registers them.
constexpr int kPrlView = 0;
constexpr int kEriView = 1;
constexpr int kBackupView = 2;
const char kAllViews[] = "--all-views";

// The keyboard's way to the menus: no window manager is needed.
const std::vector<std::string> kPortSettingMenu = {"alt+s", "p"};
const std::vector<std::string> kAboutMenu = {"alt+h", "a"};
const std::vector<std::string> kPrintMenu = {"ctrl+p"};

// An in-progress picture is kept while its bar is between these fills.
constexpr double kMidwayFrom = 0.3;
constexpr double kMidwayTo = 0.7;

// The software download, at the handset's real line rate: a two-part code
// image (the boot region's 8 blocks, then 41 of its main part), which the
// tool's time-outs (at this scale) let take their time.
const char kSoftwareFile[] = "Models/VQX-B290/Software/B410V01.06.bin";
constexpr uint64_t kSoftwareBytes = 41 * 0x2000;
const char kSecondPass[] = "Flash Programming of Main - pass 2 of 2, ";
const char kLineRate[] = "115200";
constexpr double kFlashTimeScale = 0.3;
// The roaming writes pause between pieces: at this scale a list of a few
// dozen pieces takes some seconds.
constexpr double kRoamingTimeScale = 0.4;
constexpr size_t kPrlBytes = 40 * 120;
constexpr size_t kEriBytes = 30 * 120;
constexpr uint8_t kEriFill = 0x11;

ScreenRect Union(const ScreenRect& a, const ScreenRect& b)
{
    if (b.width == 0 || b.height == 0)
        return a;
    const int left = std::min(a.x, b.x);
    const int top = std::min(a.y, b.y);
    const int right = std::max(a.x + a.width, b.x + b.width);
    const int bottom = std::max(a.y + a.height, b.y + b.height);
    return {left, top, right - left, bottom - top};
}

void WriteFile(const fs::path& path, const std::vector<uint8_t>& bytes)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                 static_cast<std::streamsize>(bytes.size()));
}
} // namespace

class GuideShot : public WindowFixture {
protected:
    // The host looks for its model folders below its current folder, and
    // shows their files' full paths: a short folder of the case's own, which
    // the host inherits.
    void SetUp() override
    {
        WindowFixture::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        std::string pattern = (fs::temp_directory_path() / "tov-XXXXXX").string();
        ASSERT_NE(nullptr, ::mkdtemp(pattern.data()));
        m_workFolder = pattern;
        m_startFolder = fs::current_path();
        fs::current_path(m_workFolder);
    }

    void TearDown() override
    {
        if (!m_startFolder.empty())
            fs::current_path(m_startFolder);
        WindowFixture::TearDown();
        if (!m_workFolder.empty())
            fs::remove_all(m_workFolder);
    }

    // The handset, then the host, which has found the handset's port once this returns.
    void StartReadyHost(const std::vector<std::string>& handsetOptions, double timeScale = kTimeScale,
                        const std::vector<std::string>& hostOptions = {})
    {
        StartHandset(handsetOptions);
        StartHost(timeScale, hostOptions);
        ASSERT_TRUE(WaitForEcho(StatusLine(PluginAbi::kPortLine, kPortConnected))) << "the port was not found";
        ASSERT_TRUE(WaitUntil([&] { return ShootReadButton().has_value(); })) << "the window was not drawn";
    }

    // Keeps the main window, and the dialog in front of it if any, once drawn.
    void KeepWindow(const std::string& name, const VirtualDisplay::Window& dialog = {}) const
    {
        std::optional<Screenshot> shot = SettledShot();
        ASSERT_TRUE(shot) << "the screen did not settle for " << name;
        Keep(*shot, Union(MainWindow().frame, dialog.frame), name);
    }

    // The whole of the part, or the case fails.
    void Keep(const Screenshot& shot, const ScreenRect& part, const std::string& name) const
    {
        ASSERT_TRUE(part.x >= 0 && part.y >= 0 && part.x + part.width <= shot.Width() && part.y + part.height <= shot.Height())
            << name << ": the window reaches past the screen";
        KeepShot(shot, part, name);
    }

    // After a start: keeps the picture once the view's bar is partly filled.
    void KeepMidway(const std::string& name) const
    {
        const ScreenRect main = MainWindow().frame;
        double fill = 0;
        std::optional<Screenshot> shot;
        const bool midway = WaitUntil([&] {
            shot = Shot();
            fill = shot ? shot->BarFill(main).value_or(0) : 0;
            return fill >= kMidwayFrom && fill <= kMidwayTo;
        });
        ASSERT_TRUE(midway) << "the bar was not seen midway; last seen " << fill << " filled";
        Keep(*shot, main, name);
    }

    // The SETTING tab after a read of a handset with a lock code and SIDs.
    void ReadSettings()
    {
        ASSERT_NO_FATAL_FAILURE(StartReadyHost({"--esn", kSimulatedEsn, "--lock-code", "1357", "--sids", "4101,22,4139"}));
        ASSERT_NO_FATAL_FAILURE(ToTab(kSettingsTab));
        ASSERT_TRUE(ClickReadButton());
        ASSERT_TRUE(WaitForEcho(DialogText(engine::kReadNamCompleted)));
        AnswerDialog("Return");
        ASSERT_TRUE(WaitUntilNoDialog());
    }

    // A flash at the handset's line rate, in its main pass with its progress line.
    void FlashToTheSecondPass()
    {
        fs::create_directories(fs::path(kSoftwareFile).parent_path());
        ASSERT_TRUE(ImageMaker::WriteCode(kSoftwareFile, kSoftwareBytes, ImageMaker::kBootPartSize, ImageMaker::kVersion));
        ASSERT_NO_FATAL_FAILURE(StartReadyHost({"--line-rate", kLineRate}, kFlashTimeScale));
        ASSERT_NO_FATAL_FAILURE(ToTab(kSoftwareDownloadTab));
        ASSERT_TRUE(ClickReadButton()) << "no start button";
        ASSERT_TRUE(WaitForEcho(StatusLine(PluginAbi::kStatusLine, kSecondPass)));
    }

    // The dialog a menu command opens, once on screen.
    VirtualDisplay::Window OpenDialog(const std::vector<std::string>& menu) const
    {
        Keys(menu);
        return WaitForDialog();
    }

private:
    fs::path m_workFolder;
    fs::path m_startFolder;
};

TEST_F(GuideShot, PhoneInfoAfterRead)
{
    ASSERT_NO_FATAL_FAILURE(StartReadyHost({"--esn", kSimulatedEsn}));
    ASSERT_TRUE(ClickReadButton());
    ASSERT_TRUE(WaitForEcho(StatusLine(PluginAbi::kPhoneLine, FormConstants::kEsnPrefix + std::string(kSimulatedEsn))));
    ASSERT_TRUE(WaitForEcho(StatusLine(PluginAbi::kStatusLine, engine::kResponseReceived)));
    EXPECT_EQ(0, EchoCount(kAnyDialog));
    KeepWindow("phone-info.png");
}

TEST_F(GuideShot, SettingsAfterRead)
{
    ASSERT_NO_FATAL_FAILURE(ReadSettings());
    KeepWindow("settings.png");
}

// The question before a write, with the rows it changes on the handset.
TEST_F(GuideShot, SettingsWriteQuestion)
{
    ASSERT_NO_FATAL_FAILURE(StartReadyHost({"--esn", kSimulatedEsn, "--lock-code", "1357", "--sids", "4101,22,4139"}));
    ASSERT_NO_FATAL_FAILURE(ToTab(kSettingsTab));
    Keys({"alt+r"});
    ASSERT_TRUE(WaitForEcho(DialogText(engine::kReadNamCompleted)));
    AnswerDialog("Return");
    ASSERT_TRUE(WaitUntilNoDialog());
    Keys({"alt+n"});
    TypeIntoGrid({{1, "24680"}, {4, "4102"}});
    Keys({"alt+w"});
    ASSERT_TRUE(WaitForEcho(DialogText(SettingsConstants::kWriteQuestion)));
    VirtualDisplay::Window dialog = WaitForDialog();
    ASSERT_FALSE(dialog.id.empty());
    KeepWindow("settings-write-question.png", dialog);
    AnswerDialog("Return");
    EXPECT_TRUE(WaitUntilNoDialog());
}

TEST_F(GuideShot, SoftwareDownloadMidway)
{
    ASSERT_NO_FATAL_FAILURE(FlashToTheSecondPass());
    KeepMidway("software-download.png");
}

// Ctrl+Q in the middle of a flash: the stop question, No its default.
TEST_F(GuideShot, QuitQuestionDuringAFlash)
{
    ASSERT_NO_FATAL_FAILURE(FlashToTheSecondPass());
    Keys({"ctrl+q"});
    ASSERT_TRUE(WaitForEcho(DialogText(FormConstants::kStopQuestion)));
    VirtualDisplay::Window dialog = WaitForDialog();
    ASSERT_FALSE(dialog.id.empty());
    KeepWindow("quit-question.png", dialog);
    AnswerDialog("Return");
    EXPECT_TRUE(WaitUntilNoDialog());
}

// File > Print on the settings read: the preview's page with its head and
// foot lines, the lock code masked.
TEST_F(GuideShot, SettingsPrintPreview)
{
    ASSERT_NO_FATAL_FAILURE(ReadSettings());
    VirtualDisplay::Window dialog = OpenDialog(kPrintMenu);
    ASSERT_FALSE(dialog.id.empty()) << "no print preview";
    std::optional<Screenshot> shot = SettledShot();
    ASSERT_TRUE(shot);
    Keep(*shot, dialog.frame, "print-preview.png");
    AnswerDialog("Escape");
    EXPECT_TRUE(WaitUntilNoDialog());
}

struct RoamingShot {
    const char* name;
    int view;
    const char* file;
    std::vector<uint8_t> bytes;
    const char* picture;
};

void PrintTo(const RoamingShot& shot, std::ostream* out)
{
    *out << shot.name;
}

class RoamingGuideShot : public GuideShot, public ::testing::WithParamInterface<RoamingShot> {};

TEST_P(RoamingGuideShot, Midway)
{
    const RoamingShot& shot = GetParam();
    WriteFile(shot.file, shot.bytes);
    ASSERT_NO_FATAL_FAILURE(StartReadyHost({}, kRoamingTimeScale, {kAllViews}));
    ASSERT_NO_FATAL_FAILURE(OpenMoreView(shot.view));
    // The start button shares its row with the option list, on its right.
    ASSERT_TRUE(ClickReadButton(Screenshot::Side::Right)) << "no start button";
    KeepMidway(shot.picture);
}

INSTANTIATE_TEST_SUITE_P(
    Guide, RoamingGuideShot,
    ::testing::Values(RoamingShot{"Prl", kPrlView, "Models/VQX-B410/PRL/B410_HOME.prl", PrlListBytes(kPrlBytes), "prl-download.png"},
                      RoamingShot{"Eri", kEriView, "Models/VQX-B410/ERI/B410_ERI.bin",
                                  std::vector<uint8_t>(kEriBytes, kEriFill), "eri-download.png"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(GuideShot, BackupView)
{
    ASSERT_NO_FATAL_FAILURE(StartReadyHost({}, kTimeScale, {kAllViews}));
    ASSERT_NO_FATAL_FAILURE(OpenMoreView(kBackupView));
    KeepWindow("backup.png");
}

TEST_F(GuideShot, PortSettingDialog)
{
    ASSERT_NO_FATAL_FAILURE(StartReadyHost({}));
    VirtualDisplay::Window dialog = OpenDialog(kPortSettingMenu);
    ASSERT_EQ(kPortSettingCaption, dialog.name);
    KeepWindow("port-setting.png", dialog);
}

// A nonzero tool type asks for the MSL code before the settings read.
TEST_F(GuideShot, MslDialog)
{
    ASSERT_NO_FATAL_FAILURE(StartReadyHost({}, kTimeScale, {"--tool-type", "1"}));
    ASSERT_NO_FATAL_FAILURE(ToTab(kSettingsTab));
    ASSERT_TRUE(ClickReadButton());
    VirtualDisplay::Window dialog = WaitForDialog();
    ASSERT_EQ(kMslCaption, dialog.name);
    KeepWindow("msl-code.png", dialog);
}

// Four handsets read at once from the station window.
TEST_F(GuideShot, StationWindow)
{
    StartTray(4);
    StartHost();
    VirtualDisplay::Window station = RunStation("Station: 4 of 4 completed");
    ASSERT_FALSE(station.id.empty()) << "the station did not complete its four rows";
    std::optional<Screenshot> shot = SettledShot();
    ASSERT_TRUE(shot);
    Keep(*shot, station.frame, "station.png");
}

TEST_F(GuideShot, AboutBox)
{
    ASSERT_NO_FATAL_FAILURE(StartReadyHost({}));
    VirtualDisplay::Window dialog = OpenDialog(kAboutMenu);
    ASSERT_FALSE(dialog.id.empty()) << "no About box";
    KeepWindow("about.png", dialog);
}
