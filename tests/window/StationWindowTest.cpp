#include <array>
#include <string>

#include "WindowFixture.h"
#include "hostlink/PluginAbi.h"

using namespace corvanetov;

namespace {
constexpr size_t kHandsets = 4;
// Setup > Station, from the keyboard.
const std::vector<std::string> kStationMenu = {"alt+s", "s"};
} // namespace

class StationWindowTest : public WindowFixture {
protected:
    std::array<ChildProcess, kHandsets> m_tray;
};

// Four handsets plugged in, the station window opened from the main window,
// Start: every row completes and the summary says so.
TEST_F(StationWindowTest, FourHandsetsAllComplete)
{
    for (size_t i = 0; i < kHandsets; ++i) {
        const std::string handset = m_folder + "/handset" + std::to_string(i);
        EXPECT_FALSE(m_tray[i].Start({VQXB410_SIM_PATH, "--by-id", m_byId, "--by-id-name",
                                      "usb-Corvane_VQX-B410_" + std::to_string(i) + "_qxcdmdm-if02-port0", "--state",
                                      handset + ".json", "--esn", "8D2A41F" + std::to_string(i)})
                         .empty());
    }
    StartHost();
    VirtualDisplay::Window main = MainWindow();
    ASSERT_FALSE(main.id.empty());
    m_display.Focus(main);
    m_display.Keys(kStationMenu);
    VirtualDisplay::Window station = WaitForWindow("^Station$");
    ASSERT_FALSE(station.id.empty()) << "no station window";
    m_display.Focus(station);
    m_display.Keys({"Return"}); // Start, the window's default button
    ASSERT_TRUE(WaitForEcho(StatusLine(PluginAbi::kStatusLine, "Station: 4 of 4 completed, 0 failed, 0 stopped")));
    if (std::optional<Screenshot> shot = SettledShot())
        KeepShot(*shot, station.frame, "station-window.png");
    QuitHost();
    EXPECT_EQ(0, WaitForHostExit());
}
