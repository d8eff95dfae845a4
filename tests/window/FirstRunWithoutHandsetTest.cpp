#include <filesystem>
#include <optional>
#include <ostream>

#include "PtyPair.h"
#include "WindowFixture.h"
#include "forms/FormConstants.h"
#include "forms/PhoneInfoConstants.h"
#include "hostlink/PluginAbi.h"

using namespace corvanetov;

namespace {
const char kPortSettingWindow[] = "^Port Setting$";
// A serial device that is not the handset: its name lacks the marker.
const char kOtherDeviceLink[] = "usb-Other_Maker_USB_Modem-if00-port0";
// The view titles' orange, from the 0x00BBGGRR colour.
const Screenshot::Rgb kTitleOrange{static_cast<uint8_t>(FormConstants::kTitleBkColor & 0xFF),
                                   static_cast<uint8_t>((FormConstants::kTitleBkColor >> 8) & 0xFF),
                                   static_cast<uint8_t>((FormConstants::kTitleBkColor >> 16) & 0xFF)};
// Far less than the title's area, far more than anything else orange.
constexpr int kTitleShown = 5000;

struct FirstRunCase {
    const char* name;
    // A serial device other than the handset in the listing, for OK to open.
    bool otherDevice;
    const char* key;
    const char* storedPort;
    // The picture for docs/, with CORVANETOV_WINDOW_SHOTS set.
    const char* shot;
};

void PrintTo(const FirstRunCase& run, std::ostream* out)
{
    *out << run.name;
}
} // namespace

// No handset and nothing stored: the host asks for the port once its main
// window is on screen, and goes on however the dialog is closed.
class FirstRunWithoutHandset : public WindowFixture, public ::testing::WithParamInterface<FirstRunCase> {};

TEST_P(FirstRunWithoutHandset, AsksForThePortInFrontOfTheWindowAndGoesOn)
{
    const FirstRunCase& run = GetParam();
    std::optional<PtyPair> otherDevice;
    if (run.otherDevice) {
        otherDevice.emplace();
        std::filesystem::create_symlink(otherDevice->SlavePath(), m_byId + "/" + kOtherDeviceLink);
    }
    StartHost();

    VirtualDisplay::Window dialog = WaitForWindow(kPortSettingWindow);
    ASSERT_FALSE(dialog.id.empty()) << "no Port Setting dialog";
    VirtualDisplay::Window main = MainWindow();
    EXPECT_FALSE(main.id.empty()) << "the dialog came before the main window";
    if (!main.id.empty()) {
        std::optional<Screenshot> shot;
        EXPECT_TRUE(WaitUntil([&] {
            shot = Shot();
            return shot && shot->Count(kTitleOrange, main.frame, dialog.frame) > kTitleShown;
        })) << "the main window is not drawn behind the dialog";
        if (shot && run.shot)
            KeepShot(*shot, main.frame, run.shot);
    }

    AnswerDialog(run.key);
    EXPECT_TRUE(WaitUntilNoDialog());
    // After the dialog the view looks for the handset: the host got through.
    EXPECT_TRUE(WaitForEcho(StatusLine(PluginAbi::kPortLine, PhoneInfoConstants::kDisconnected)));
    ASSERT_TRUE(HostRunning()) << "the host ended with " << WaitForHostExit();
    EXPECT_FALSE(MainWindow().id.empty());

    QuitHost();
    EXPECT_EQ(0, WaitForHostExit());
    EXPECT_EQ(run.storedPort, StoredPort());
}

INSTANTIATE_TEST_SUITE_P(Dialog, FirstRunWithoutHandset,
                         ::testing::Values(FirstRunCase{"ClosedByCancel", false, "Escape", "0", "first-run-no-handset.png"},
                                           FirstRunCase{"ClosedByOk", true, "Return", "1", nullptr}),
                         [](const auto& info) { return std::string(info.param.name); });
