#include <string>

#include "WindowFixture.h"

using namespace corvanetov;

class StationWindowTest : public WindowFixture {};

// Four handsets plugged in, the station window opened from the main window,
// Start: every row completes and the summary says so.
TEST_F(StationWindowTest, FourHandsetsAllComplete)
{
    StartTray(4);
    StartHost();
    VirtualDisplay::Window station = RunStation("Station: 4 of 4 completed, 0 failed, 0 stopped");
    ASSERT_FALSE(station.id.empty()) << "no station window, or not every row completed";
    QuitHost();
    EXPECT_EQ(0, WaitForHostExit());
}
