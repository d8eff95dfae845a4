#include <string>

#include "WindowFixture.h"
#include "engine/EngineConstants.h"
#include "forms/FormConstants.h"
#include "hostlink/PluginAbi.h"

using namespace corvanetov;

namespace {
const char kEsn[] = "8D2A41F3";
const char kNvRead[] = "NvReadRequest";
// Phone information, software download, settings: two steps to the right.
const std::vector<std::string> kKeysToTheSettingsTab = {"ctrl+Tab", "ctrl+Tab"};
} // namespace

class SettingsWindow : public WindowFixture {};

// The settings tab's lowest-left button is "Read From Phone": it reads the
// handset's settings, names the steps in the status bar and ends in a box.
TEST_F(SettingsWindow, ReadInTheSettingsTabEndsInItsBox)
{
    StartHandset({"--esn", kEsn, "--lock-code", "1357"});
    StartHost();
    ASSERT_TRUE(WaitForEcho(StatusLine(PluginAbi::kPortLine, "Com1 Connected"))) << "the port was not found";
    std::optional<ReadButtonShot> phoneInfo;
    ASSERT_TRUE(WaitUntil([&] { return (phoneInfo = ShootReadButton()).has_value(); })) << "no button in the first tab";

    VirtualDisplay::Window main = MainWindow();
    m_display.Focus(main);
    m_display.Keys(kKeysToTheSettingsTab);
    ASSERT_TRUE(WaitUntil([&] {
        std::optional<ReadButtonShot> seen = ShootReadButton();
        return seen && seen->button != phoneInfo->button;
    })) << "the settings tab did not come up";

    ASSERT_TRUE(ClickReadButton());
    EXPECT_TRUE(WaitForEcho(StatusLine(PluginAbi::kStatusLine, engine::kStepReadingNam)));
    ASSERT_TRUE(WaitForEcho(DialogText(engine::kReadNamCompleted)));
    EXPECT_TRUE(WaitForEcho(StatusLine(PluginAbi::kPhoneLine, FormConstants::kEsnPrefix + std::string(kEsn))));
    if (std::optional<Screenshot> shot = Shot())
        KeepShot(*shot, main.frame, "settings-after-read.png");
    AnswerDialog("Return");
    EXPECT_TRUE(WaitUntilNoDialog());
    // The identification's hardware version, then the three items.
    EXPECT_EQ(4, HandsetRequests(kNvRead));
    QuitHost();
    EXPECT_EQ(0, WaitForHostExit());
}
