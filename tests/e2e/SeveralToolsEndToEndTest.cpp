// Tools side by side: two on one handset, where the port belongs to one
// operation from its first open to its end, and four on four handsets.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <filesystem>
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
// The flash lets go of the port for a while after the switch into download
// mode (2.5 s and 10 s at this scale) while the handset restarts, 3 s here.
const std::vector<std::string> kRestartingHandset = {"--reset-ms", "3000"};
const std::vector<std::string> kFlashingTool = {"--time-scale", "0.02"};
constexpr size_t kGapTries = 20;
// What a tool's trace says as it opens a port.
constexpr char kOpening[] = "\nOpening ";

struct SecondTool {
    const char* name;
    std::vector<std::string> arguments; // after the common options; CODE is the image
};

const SecondTool kSecondTools[] = {
    {"info", {"info"}},
    {"flash", {"flash", "--option", "0", "--code", "CODE"}},
};

void PrintTo(const SecondTool& tool, std::ostream* out)
{
    *out << tool.name;
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
// is told who has the handset.
TEST_F(SeveralTools, SecondToolOnAHandsetIsRefusedEveryTime)
{
    StartHandset();
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        std::array<ChildProcess, 2> tools;
        std::array<std::string, 2> outputs;
        std::array<std::string, 2> pids;
        for (size_t i = 0; i < tools.size(); ++i) {
            outputs[i] = m_folder + "/tool" + std::to_string(round) + std::to_string(i) + ".txt";
            std::vector<std::string> arguments = kSlowTool;
            arguments.push_back("info");
            StartTool(tools[i], outputs[i], arguments);
            pids[i] = std::to_string(tools[i].Pid());
        }
        std::array<int, 2> exits{};
        for (size_t i = 0; i < tools.size(); ++i)
            exits[i] = tools[i].WaitForExit(kToolGiveUp);
        ASSERT_EQ(1, std::count(exits.begin(), exits.end(), 0)) << FileText(outputs[0]) << "\n--\n" << FileText(outputs[1]);
        const size_t holder = exits[0] == 0 ? 0 : 1;
        const std::string refused = FileText(outputs[1 - holder]);
        EXPECT_NE(std::string::npos,
                  refused.find("COM1 is busy: corvanetov-cli (pid " + pids[holder] + ") is reading its information\n"))
            << refused;
    }
    // Each refusal is on record with the port and the holder, naming no handset.
    size_t refusals = 0;
    for (const nlohmann::json& record : Records()) {
        if (record["result"] != "refused")
            continue;
        ++refusals;
        EXPECT_EQ(record["esn"], "");
        EXPECT_EQ(record["com_number"], 1);
        EXPECT_TRUE(record["end_text"].get<std::string>().starts_with("COM1 is busy: corvanetov-cli (pid ")) << record;
    }
    EXPECT_EQ(refusals, 3u);
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

class SecondToolInTheRestartGap : public SeveralTools, public ::testing::WithParamInterface<SecondTool> {
protected:
    // Flashes the image with the flashing tool's pace; the exit code.
    void StartFlash(ChildProcess& tool, const std::string& output)
    {
        std::vector<std::string> arguments = kFlashingTool;
        arguments.insert(arguments.end(), {"flash", "--option", "0", "--code", Code()});
        StartTool(tool, output, arguments);
    }
    std::string Code() const { return m_folder + "/code.bin"; }
    std::string Flashed() const { return m_folder + "/flashed.bin"; }
    void ExpectFlashed() const
    {
        std::vector<uint8_t> image = ImageMaker::Read(Code());
        std::vector<uint8_t> written = ImageMaker::Read(Flashed());
        ASSERT_GE(written.size(), image.size());
        EXPECT_TRUE(std::equal(image.begin(), image.end(), written.begin()));
    }
};

// A flash lets go of the port while the handset restarts into download
// mode. A second tool started right then is refused by the claim on the
// handset, says who has it, and sends nothing; the flash completes.
TEST_P(SecondToolInTheRestartGap, IsRefusedEveryTimeAndTheFlashCompletes)
{
    ASSERT_TRUE(ImageMaker::WriteCode(Code(), 0x9000, ImageMaker::kBootPartSize, ImageMaker::kVersion));
    std::vector<std::string> handset = kRestartingHandset;
    handset.insert(handset.end(), {"--flash-out", Flashed()});
    StartHandset(handset);
    std::vector<std::string> second = GetParam().arguments;
    std::replace(second.begin(), second.end(), std::string("CODE"), Code());

    for (size_t round = 1; round <= kGapTries; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const std::string firstOutput = m_folder + "/first" + std::to_string(round) + ".txt";
        const std::string secondOutput = m_folder + "/second" + std::to_string(round) + ".txt";
        std::filesystem::remove(Flashed());
        ChildProcess first;
        StartFlash(first, firstOutput);
        const std::string busy = "COM1 is busy: corvanetov-cli (pid " + std::to_string(first.Pid()) + ") is flashing it";
        ASSERT_TRUE(AwaitRequests("DownloadModeRequest", round)) << FileText(firstOutput);
        // The refused tool's own trace says whether it opened the port: the
        // handset's log cannot tell its requests from the flashing tool's,
        // which identifies the handset again after the restart (a slow
        // second tool, under load or a sanitizer, lives past that).
        const std::string secondTrace = m_folder + "/second" + std::to_string(round) + ".trace";
        std::vector<std::string> traced = {"--trace", secondTrace};
        traced.insert(traced.end(), second.begin(), second.end());
        ChildProcess other;
        StartTool(other, secondOutput, traced);
        const int secondExit = other.WaitForExit(kToolGiveUp);
        EXPECT_EQ(std::string::npos, FileText(secondTrace).find(kOpening)) << "the refused tool opened the port";
        ASSERT_EQ(0, first.WaitForExit(kToolGiveUp)) << FileText(firstOutput) << "\n--\n" << FileText(secondOutput);
        const std::string refused = FileText(secondOutput);
        EXPECT_EQ(1, secondExit) << refused;
        EXPECT_NE(std::string::npos, refused.find(busy)) << refused;
        ExpectFlashed();
    }
}

INSTANTIATE_TEST_SUITE_P(Tools, SecondToolInTheRestartGap, ::testing::ValuesIn(kSecondTools),
                         [](const auto& info) { return std::string(info.param.name); });
