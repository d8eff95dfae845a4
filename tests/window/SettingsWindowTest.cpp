#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "WindowFixture.h"
#include "engine/EngineConstants.h"
#include "forms/FormConstants.h"
#include "forms/SettingsConstants.h"
#include "hostlink/PluginAbi.h"

using namespace corvanetov;

namespace sc = SettingsConstants;

namespace {
const char kNvRead[] = "NvReadRequest";
const char kNvWrite[] = "NvWriteRequest";
// Phone information, software download, settings: two steps to the right.
const std::vector<std::string> kKeysToTheSettingsTab = {"ctrl+Tab", "ctrl+Tab"};
// A refused cell's mark, as it is drawn.
const Screenshot::Rgb kRefusedMark{0xFF, 0xC0, 0xC0};
} // namespace

class SettingsWindow : public WindowFixture {
protected:
    // The host on the settings tab, with the handset's port found.
    void OpenSettingsTab()
    {
        StartHost();
        ASSERT_TRUE(WaitForEcho(StatusLine(PluginAbi::kPortLine, "Com1 Connected"))) << "the port was not found";
        std::optional<ReadButtonShot> phoneInfo;
        ASSERT_TRUE(WaitUntil([&] { return (phoneInfo = ShootReadButton()).has_value(); })) << "no button in the first tab";
        m_display.Focus(MainWindow());
        m_display.Keys(kKeysToTheSettingsTab);
        ASSERT_TRUE(WaitUntil([&] {
            std::optional<ReadButtonShot> seen = ShootReadButton();
            return seen && seen->button != phoneInfo->button;
        })) << "the settings tab did not come up";
    }

    // "Read From Phone" by its mnemonic; the read ends in its box, closed
    // with Enter; then the grid's mnemonic takes the focus into the grid.
    void ReadWithTheKeyboard()
    {
        m_display.Focus(MainWindow());
        m_display.Keys({"alt+r"});
        ASSERT_TRUE(WaitForEcho(DialogText(engine::kReadNamCompleted)));
        AnswerDialog("Return");
        ASSERT_TRUE(WaitUntilNoDialog());
        m_display.Focus(MainWindow());
        m_display.Keys({"alt+n"});
    }

    // Every request the simulator received.
    int HandsetRequestsOfAnyKind() const
    {
        std::ifstream log(m_folder + "/sim.log");
        int count = 0;
        for (std::string line; std::getline(log, line);)
            count += line.find("\"dir\":\"rx\"") != std::string::npos;
        return count;
    }

    // What follows the prefix on the last line of the file that starts with it.
    static std::string LastLine(const std::string& path, const std::string& prefix)
    {
        std::ifstream in(path);
        std::string last;
        for (std::string line; std::getline(in, line);)
            if (line.rfind(prefix, 0) == 0)
                last = line.substr(prefix.size());
        return last;
    }

    std::string HandsetState() const
    {
        std::ifstream in(m_folder + "/handset.json");
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
};

// The settings tab's lowest-left button is "Read From Phone": it reads the
// handset's settings, names the steps in the status bar and ends in a box.
TEST_F(SettingsWindow, ReadInTheSettingsTabEndsInItsBox)
{
    StartHandset({"--esn", kSimulatedEsn, "--lock-code", "1357"});
    ASSERT_NO_FATAL_FAILURE(OpenSettingsTab());
    VirtualDisplay::Window main = MainWindow();

    ASSERT_TRUE(ClickReadButton());
    EXPECT_TRUE(WaitForEcho(StatusLine(PluginAbi::kStatusLine, engine::kStepReadingNam)));
    ASSERT_TRUE(WaitForEcho(DialogText(engine::kReadNamCompleted)));
    EXPECT_TRUE(WaitForEcho(StatusLine(PluginAbi::kPhoneLine, FormConstants::kEsnPrefix + std::string(kSimulatedEsn))));
    if (std::optional<Screenshot> shot = Shot())
        KeepShot(*shot, main.frame, "settings-after-read.png");
    AnswerDialog("Return");
    EXPECT_TRUE(WaitUntilNoDialog());
    // The identification's hardware version, then the three items.
    EXPECT_EQ(4, HandsetRequests(kNvRead));
    QuitHost();
    EXPECT_EQ(0, WaitForHostExit());
}

// A SID typed "12ab" and one of 40000 are refused by name before anything
// goes to the handset; both cells are marked and the handset keeps its values.
TEST_F(SettingsWindow, CellsTheHandsetWouldNotTakeAreRefusedAndNothingIsSent)
{
    StartHandset({"--esn", kSimulatedEsn, "--lock-code", "1357", "--sids", "4101,22"});
    ASSERT_NO_FATAL_FAILURE(OpenSettingsTab());
    ASSERT_NO_FATAL_FAILURE(ReadWithTheKeyboard());
    const int requestsAfterRead = HandsetRequestsOfAnyKind();

    TypeIntoGrid({{3, "12ab"}, {4, "40000"}});
    m_display.Keys({"alt+w"});
    ASSERT_TRUE(WaitForEcho(DialogText(sc::kNothingWritten)));
    EXPECT_EQ(1, EchoCount("HOME SID for Network Lock 1 takes a whole number from 0 to 32767; \"12ab\": not a whole number"));
    EXPECT_EQ(1, EchoCount("HOME SID for Network Lock 2 takes a whole number from 0 to 32767; \"40000\": out of range"));
    EXPECT_EQ(0, EchoCount(DialogText(sc::kWriteQuestion))) << "no question before a refused write";
    AnswerDialog("Return");
    ASSERT_TRUE(WaitUntilNoDialog());
    std::optional<Screenshot> shot = SettledShot();
    ASSERT_TRUE(shot);
    const ScreenRect frame = MainWindow().frame;
    EXPECT_GT(shot->Count(kRefusedMark, frame), 0) << "the refused cells are not marked";
    KeepShot(*shot, frame, "settings-refused-cells.png");
    EXPECT_EQ(requestsAfterRead, HandsetRequestsOfAnyKind()) << "the handset heard from the tool";
    EXPECT_EQ(0, HandsetRequests(kNvWrite));

    // The box gave the focus back to the grid: the mended values are typed
    // straight in, and the question lists them.
    m_display.Focus(MainWindow());
    TypeIntoGrid({{3, "12"}, {4, "30000"}});
    m_display.Keys({"alt+w"});
    ASSERT_TRUE(WaitForEcho(DialogText(sc::kWriteQuestion))) << "the focus did not return to the grid";
    EXPECT_EQ(1, EchoCount("HOME SID for Network Lock 1: 4101 \u2192 12\\nHOME SID for Network Lock 2: 22 \u2192 30000"));
    AnswerDialog("n");
    ASSERT_TRUE(WaitUntilNoDialog());
    EXPECT_EQ(requestsAfterRead, HandsetRequestsOfAnyKind());
    m_handset.Stop();
    const nlohmann::json state = nlohmann::json::parse(HandsetState(), nullptr, false);
    ASSERT_FALSE(state.is_discarded()) << HandsetState();
    EXPECT_EQ(state["lock_code"], "1357");
    EXPECT_EQ(state["sids"][0], 4101);
    EXPECT_EQ(state["sids"][1], 22);
}

// "Write To Phone" asks first, with what changes on the handset; Enter
// answers No and sends nothing, Yes writes what the grid shows.
TEST_F(SettingsWindow, AConfirmedWriteLandsAndEnterAtTheQuestionWritesNothing)
{
    StartHandset({"--esn", kSimulatedEsn, "--lock-code", "1357", "--sids", "4101,22"});
    ASSERT_NO_FATAL_FAILURE(OpenSettingsTab());
    ASSERT_NO_FATAL_FAILURE(ReadWithTheKeyboard());
    const int requestsAfterRead = HandsetRequestsOfAnyKind();

    TypeIntoGrid({{1, "24680"}, {3, "12"}});
    m_display.Keys({"alt+w"});
    ASSERT_TRUE(WaitForEcho(DialogText(sc::kWriteQuestion)));
    EXPECT_EQ(1, EchoCount("Lock Code: 1357 \u2192 24680\\nHOME SID for Network Lock 1: 4101 \u2192 12"));
    if (std::optional<Screenshot> shot = SettledShot())
        KeepShot(*shot, MainWindow().frame, "settings-write-question.png");
    AnswerDialog("Return");
    ASSERT_TRUE(WaitUntilNoDialog());
    EXPECT_EQ(requestsAfterRead, HandsetRequestsOfAnyKind()) << "Enter is No: nothing goes to the handset";

    m_display.Focus(MainWindow());
    m_display.Keys({"alt+w"});
    ASSERT_TRUE(WaitForEcho(DialogText(sc::kWriteQuestion), 2));
    AnswerDialog("y");
    ASSERT_TRUE(WaitForEcho(DialogText(engine::kWriteNamCompleted)));
    AnswerDialog("Return");
    EXPECT_TRUE(WaitUntilNoDialog());
    EXPECT_EQ(engine::kWriteNamCompleted, LastLine(m_folder + "/host.log", StatusLine(PluginAbi::kStatusLine, "")))
        << "a step's text outlived the write";
    m_handset.Stop();
    const nlohmann::json state = nlohmann::json::parse(HandsetState(), nullptr, false);
    ASSERT_FALSE(state.is_discarded()) << HandsetState();
    EXPECT_EQ(state["lock_code"], "24680");
    EXPECT_EQ(state["sids"][0], 12);
    EXPECT_EQ(state["sids"][1], 22);
}
