// Tools side by side: two on one handset, where the port belongs to one
// operation from its first open to its end, and four on four handsets.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

#include "E2eFixture.h"
#include "samples/ImageMaker.h"
#include "comm/SerialDevice.h"

using namespace corvanetov;

namespace {
using namespace std::chrono_literals;
constexpr auto kToolGiveUp = std::chrono::seconds(60);
// Long enough pauses that a tool started beside another meets it during its
// operation, and that the gaps a close and reopen would leave are wide.
const std::vector<std::string> kSlowTool = {"--time-scale", "0.2"};
constexpr char kBusy[] = "in use by another program";
constexpr auto kGrabHold = 30ms;
constexpr auto kGrabPeriod = 1ms;

std::string FileText(const std::string& path)
{
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), {}};
}
} // namespace

class SeveralTools : public E2eFixture {
protected:
    // Starts corvanetov-cli in the background, its output going to a file.
    void StartTool(ChildProcess& tool, const std::string& output, std::vector<std::string> arguments)
    {
        arguments.insert(arguments.begin(), CORVANETOV_CLI_PATH);
        tool.StartLogged(arguments, Environment(), output);
    }
};

// Started together on one handset, every time: one identifies it, the other
// is told that the port is busy.
TEST_F(SeveralTools, SecondToolOnAHandsetIsRefusedEveryTime)
{
    StartHandset();
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        std::array<ChildProcess, 2> tools;
        std::array<std::string, 2> outputs;
        for (size_t i = 0; i < tools.size(); ++i) {
            outputs[i] = m_folder + "/tool" + std::to_string(round) + std::to_string(i) + ".txt";
            std::vector<std::string> arguments = kSlowTool;
            arguments.push_back("info");
            StartTool(tools[i], outputs[i], arguments);
        }
        std::array<int, 2> exits{};
        for (size_t i = 0; i < tools.size(); ++i)
            exits[i] = tools[i].WaitForExit(kToolGiveUp);
        ASSERT_EQ(1, std::count(exits.begin(), exits.end(), 0)) << FileText(outputs[0]) << "\n--\n" << FileText(outputs[1]);
        const std::string refused = FileText(outputs[exits[0] == 0 ? 1 : 0]);
        EXPECT_NE(std::string::npos, refused.find("Cannot Open ComPort!\n")) << refused;
        EXPECT_NE(std::string::npos, refused.find(kBusy)) << refused;
    }
}

// Another program that tries for the port all through an identification
// never gets it: the close and reopen of connection set-up leave no gap.
TEST_F(SeveralTools, ProgramTryingForThePortMidOperationIsShutOut)
{
    std::string device = StartHandset();
    ChildProcess tool;
    const std::string output = m_folder + "/tool.txt";
    std::vector<std::string> arguments = kSlowTool;
    arguments.push_back("info");
    StartTool(tool, output, arguments);
    // From the tool's first request on, the port is the operation's.
    ASSERT_TRUE(AwaitRequests("DmSwitchCommand", 1));
    std::string outcomes; // R refused, G got it
    while (tool.WaitForExit(0ms) == ChildProcess::kStillRunning) {
        SerialDevice other;
        if (other.OpenSerial(device)) {
            outcomes += 'G';
            std::this_thread::sleep_for(kGrabHold);
        } else {
            outcomes += 'R';
            EXPECT_NE(std::string::npos, other.LastError().find(kBusy)) << other.LastError();
        }
        other.Close();
        std::this_thread::sleep_for(kGrabPeriod);
    }
    EXPECT_EQ(0, tool.WaitForExit(0ms)) << FileText(output);
    // Once the operation has ended the port is free: only what came before
    // the last refusal was during the operation.
    std::string during = outcomes.substr(0, outcomes.find_last_of('R') + 1);
    EXPECT_FALSE(during.empty()) << "the other program tried while the operation ran";
    EXPECT_EQ(std::string::npos, during.find('G')) << outcomes;
}

// Four handsets, four tools, each on its own port by path: all identify
// and flash at once, and each handset ends up with its own image.
TEST_F(SeveralTools, FourHandsetsIdentifyAndFlashAtOnce)
{
    constexpr size_t kHandsets = 4;
    std::array<ChildProcess, kHandsets> handsets;
    std::array<std::string, kHandsets> devices;
    auto file = [this](const char* what, size_t i) { return m_folder + "/" + what + std::to_string(i); };
    for (size_t i = 0; i < kHandsets; ++i) {
        devices[i] = handsets[i].Start({VQXB410_SIM_PATH, "--state", file("state", i), "--flash-out", file("flashed", i),
                                        "--esn", "8D2A41F" + std::to_string(i)},
                                       Environment());
        // Each image its own length, so that one handset's image in another's
        // flash would show.
        ASSERT_TRUE(ImageMaker::WriteCode(file("code", i), 0x9000 + 0x1000 * i, ImageMaker::kBootPartSize, ImageMaker::kVersion));
    }
    auto runAll = [&](const char* phase, auto arguments) {
        std::array<ChildProcess, kHandsets> tools;
        for (size_t i = 0; i < kHandsets; ++i)
            StartTool(tools[i], file(phase, i), arguments(i));
        for (size_t i = 0; i < kHandsets; ++i)
            EXPECT_EQ(0, tools[i].WaitForExit(kToolGiveUp)) << phase << " " << i << ":\n" << FileText(file(phase, i));
    };
    runAll("info", [&](size_t i) { return std::vector<std::string>{"--json", "info", "--port", devices[i]}; });
    for (size_t i = 0; i < kHandsets; ++i)
        EXPECT_NE(std::string::npos, FileText(file("info", i)).find("\"esn\":\"8D2A41F" + std::to_string(i) + "\"")) << "handset " << i;
    runAll("flash", [&](size_t i) {
        return std::vector<std::string>{"flash", "--option", "0", "--code", file("code", i), "--port", devices[i]};
    });
    for (size_t i = 0; i < kHandsets; ++i) {
        SCOPED_TRACE("handset " + std::to_string(i));
        handsets[i].Stop();
        std::vector<uint8_t> image = ImageMaker::Read(file("code", i));
        std::vector<uint8_t> flashed = ImageMaker::Read(file("flashed", i));
        ASSERT_GE(flashed.size(), image.size());
        EXPECT_TRUE(std::equal(image.begin(), image.end(), flashed.begin()));
        EXPECT_TRUE(std::all_of(flashed.begin() + static_cast<std::ptrdiff_t>(image.size()), flashed.end(),
                                [](uint8_t b) { return b == 0xFF; }))
            << "erased past the image's end";
    }
}
