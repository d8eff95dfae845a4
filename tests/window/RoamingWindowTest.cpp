#include <filesystem>
#include <fstream>

#include "WindowFixture.h"
#include "engine/EngineConstants.h"
#include "samples/PrlListBytes.h"

using namespace corvanetov;
namespace fs = std::filesystem;

namespace {
// The PRL view is the first that "More views" lists.
constexpr int kPrlView = 0;
const char kAllViews[] = "--all-views";
// Each NAM's file, as the view keeps its choice.
const char kNam1Choice[] = "NAM1 PRL File";
const char kNam2Choice[] = "NAM2 PRL File";
// Requests that would change the handset: the switch offline and the list itself.
const char kModeRequest[] = "ModeControlRequest";
const char kPrlWriteRequest[] = "RoamingDataWriteRequest";
// From Open PRL1 File (where the focus comes back when its dialog closes;
// NAM2's button waits while only NAM1 is chosen) to the option list, and
// down the list to its last choice, both NAMs.
const std::vector<std::string> kOpenNam1 = {"alt+1"};
const std::vector<std::string> kBothNams = {"Tab", "Down", "Down"};
const std::vector<std::string> kStart = {"alt+a"};

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                 static_cast<std::streamsize>(bytes.size()));
}
} // namespace

class RoamingWindow : public WindowFixture {};

// Both NAMs chosen, NAM2's file larger than a roaming list can be: the
// start ends at once naming NAM2's file, and the handset is neither taken
// offline nor given NAM1's list. Every box has a title to find it by.
TEST_F(RoamingWindow, BothNamsWithABadNam2FileWriteNothing)
{
    // The host takes each NAM's stored choice only when its model folder
    // below the current folder holds no list.
    ASSERT_FALSE(fs::exists("Models")) << "a model folder where the host starts";
    const std::string good = m_folder + "/home.prl";
    const std::string bad = m_folder + "/bad.prl";
    WriteFile(good, PrlListBytes(40 * 120));
    WriteFile(bad, std::vector<uint8_t>(9000));
    StoreViewChoices({{kNam1Choice, good}, {kNam2Choice, bad}});
    StartHandset();
    StartHost(kTimeScale, {kAllViews});
    ASSERT_TRUE(WaitUntil([&] { return ShootReadButton().has_value(); })) << "the window was not drawn";
    ASSERT_NO_FATAL_FAILURE(OpenMoreView(kPrlView));

    m_display.Focus(MainWindow());
    m_display.Keys(kOpenNam1);
    ASSERT_FALSE(WaitForDialog().id.empty()) << "no file dialog for NAM1";
    AnswerDialog("Escape");
    ASSERT_TRUE(WaitUntilNoDialog());
    m_display.Focus(MainWindow());
    m_display.Keys(kBothNams);
    m_display.Keys(kStart);

    // The reader says what is wrong with the file, then the view ends with
    // NAM2's loading error.
    ASSERT_TRUE(WaitForEcho(bad + " is too large"));
    AnswerDialog("Return");
    ASSERT_TRUE(WaitForEcho(DialogText(engine::kErrLoadingPrl[1])));
    AnswerDialog("Return");
    EXPECT_TRUE(WaitUntilNoDialog());
    EXPECT_EQ(0, HandsetRequests(kModeRequest));
    EXPECT_EQ(0, HandsetRequests(kPrlWriteRequest));
}
