#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>

#include "E2eFixture.h"
#include "samples/ImageMaker.h"
#include "comm/PortResolver.h"
#include "engine/OperationContext.h"
#include "engine/OperationRecorder.h"
#include "engine/ContextGuards.h"
#include "engine/EngineConstants.h"
#include "engine/SwDownloadWorker.h"
#include "platform/Pacing.h"
#include "sim/SimConstants.h"

using namespace corvanetov;

namespace {
constexpr uint64_t kBlock = 0x2000;
constexpr uint64_t kBootRegion = 0x10000;
const std::string kWaiting = std::string(engine::kWaitingInDownloadMode) + "\n";


bool AllErased(const std::vector<uint8_t>& bytes, size_t from)
{
    return std::all_of(bytes.begin() + static_cast<std::ptrdiff_t>(std::min(from, bytes.size())), bytes.end(),
                       [](uint8_t b) { return b == 0xFF; });
}

struct OptionCase {
    const char* name;
    int option;
    uint64_t codeSize; // 0: no code image
    uint32_t valueAt4;
    uint64_t fontSize; // 0: no font image
};

const OptionCase kOptionCases[] = {
    {"NORMAL(Phone), small image: its boot region only", 0, 0x30000, 0x10000, 0},
    {"NORMAL(Phone + FONT), two-part image", 1, 0x52345, 0x10000, 0x5123},
    {"NORMAL(FONT)", 2, 0, 0, 0x4000},
    {"EMERGENCY(Phone), two-part image", 3, 0x60000, 0x10000, 0},
    {"EMERGENCY(Phone + FONT), image shorter than the boot region", 4, 0x9000, 0x10000, 0x2001},
    {"EMERGENCY(FONT)", 5, 0, 0, 0x3000},
};

void PrintTo(const OptionCase& c, std::ostream* out)
{
    *out << c.name;
}
} // namespace

class FlashEndToEnd : public E2eFixture {
protected:
    std::string Code() const { return m_folder + "/code.bin"; }
    std::string Font() const { return m_folder + "/font.bin"; }
    std::string FlashOut() const { return m_folder + "/flash.out"; }
    std::string FontOut() const { return m_folder + "/font.out"; }

    void Images(uint64_t codeSize, uint32_t valueAt4, uint64_t fontSize)
    {
        ASSERT_TRUE(ImageMaker::WriteCode(Code(), codeSize, valueAt4, ImageMaker::kVersion));
        ASSERT_TRUE(ImageMaker::WriteFont(Font(), fontSize));
    }
    void StartFlashable(std::vector<std::string> options)
    {
        options.insert(options.end(), {"--flash-out", FlashOut(), "--font-out", FontOut()});
        StartHandset(options);
    }
    ChildProcess::Result Flash(int option, std::vector<std::string> more = {})
    {
        std::vector<std::string> arguments = {"flash",  "--option", std::to_string(option), "--code", Code(), "--font", Font(),
                                              "--font-address", "2E00000"};
        arguments.insert(arguments.begin(), more.begin(), more.end());
        return Cli(arguments);
    }
    // Logged block requests to this address.
    size_t BlocksAt(uint32_t address) const
    {
        size_t count = 0;
        for (const auto& line : LoggedRequests())
            count += line.find("\"cmd\":\"WriteBlockRequest\"") != std::string::npos &&
                     line.find("\"address\":" + std::to_string(address) + ",") != std::string::npos;
        return count;
    }
};

class FlashEveryOption : public FlashEndToEnd, public ::testing::WithParamInterface<OptionCase> {};

// What the handset's flash holds afterwards is the image, byte for byte,
// wherever the download wrote, and erased flash past the image's end.
TEST_P(FlashEveryOption, FlashedBytesAreTheImages)
{
    const OptionCase& c = GetParam();
    Images(std::max<uint64_t>(c.codeSize, 4), c.valueAt4, std::max<uint64_t>(c.fontSize, 1));
    bool emergency = c.option >= 3;
    StartFlashable(emergency ? std::vector<std::string>{"--emergency"} : std::vector<std::string>{});
    auto result = Flash(c.option);
    ASSERT_EQ(0, result.exitCode) << result.err;
    EXPECT_TRUE(EndsWith(result.err, "\nCompleted Flash Programming\nNow running B410V01.05\n")) << result.err;
    m_handset.Stop();

    if (c.codeSize) {
        std::vector<uint8_t> image = ImageMaker::Read(Code());
        std::vector<uint8_t> flashed = ImageMaker::Read(FlashOut());
        bool twoPart = c.codeSize > 0x4FFFF;
        uint64_t written = twoPart ? kBootRegion + c.codeSize / kBlock * kBlock : kBootRegion;
        ASSERT_EQ(written, flashed.size());
        size_t compared = static_cast<size_t>(std::min<uint64_t>(image.size(), written));
        EXPECT_TRUE(std::equal(image.begin(), image.begin() + compared, flashed.begin()));
        EXPECT_TRUE(AllErased(flashed, image.size())) << "past the image's end";
    }
    if (c.fontSize) {
        std::vector<uint8_t> image = ImageMaker::Read(Font());
        std::vector<uint8_t> flashed = ImageMaker::Read(FontOut());
        ASSERT_EQ((c.fontSize + kBlock - 1) / kBlock * kBlock, flashed.size()) << "the last block too";
        EXPECT_TRUE(std::equal(image.begin(), image.end(), flashed.begin()));
        EXPECT_TRUE(AllErased(flashed, image.size())) << "past the font's end";
    }
    size_t switched = Requests("ModeControlRequest") + Requests("DownloadModeRequest");
    if (emergency)
        EXPECT_EQ(0u, switched) << "a handset in download mode gets no mode control and no download-mode request";
    else
        EXPECT_EQ(1u, Requests("DownloadModeRequest"));
}

INSTANTIATE_TEST_SUITE_P(Options, FlashEveryOption, ::testing::ValuesIn(kOptionCases),
                         [](const auto& info) { return "Option" + std::to_string(info.param.option); });

TEST_F(FlashEndToEnd, BlockAskedForAgainIsResent)
{
    Images(0x9000, 0x10000, 1);
    StartFlashable({"--emergency", "--nak-block", "5:0xA2"});
    auto again = Flash(3);
    ASSERT_EQ(0, again.exitCode) << again.err;
    EXPECT_EQ(2u, BlocksAt(5 * kBlock));
    EXPECT_EQ(1u, BlocksAt(6 * kBlock));
    m_handset.Stop();
    std::vector<uint8_t> image = ImageMaker::Read(Code());
    std::vector<uint8_t> flashed = ImageMaker::Read(FlashOut());
    ASSERT_EQ(kBootRegion, flashed.size());
    EXPECT_TRUE(std::equal(image.begin(), image.end(), flashed.begin()));
}

// On a line at a handset's real speed an 8199-byte block takes 0.71 s, far
// more than its 3 s wait at the tests' time scale: the wait lasts until the
// block can have crossed the line (it used to end first, every time).
TEST_F(FlashEndToEnd, BlockAtTheLinesRealSpeedOutlastsItsScaledWait)
{
    Images(4, 0, kBlock);
    StartFlashable({"--emergency", "--line-rate", "115200"});
    auto slow = Flash(5);
    ASSERT_EQ(0, slow.exitCode) << slow.err;
    EXPECT_TRUE(EndsWith(slow.err, "\nCompleted Flash Programming\nNow running B410V01.05\n")) << slow.err;
    m_handset.Stop();
    EXPECT_EQ(ImageMaker::Read(Font()), ImageMaker::Read(FontOut()));
}

TEST_F(FlashEndToEnd, BlockNeverTakenEndsTheDownloadAfterTenSends)
{
    Images(0x9000, 0x10000, 1);
    StartFlashable({"--emergency", "--nak-from", "3"});
    auto never = Flash(3);
    EXPECT_EQ(1, never.exitCode);
    EXPECT_TRUE(EndsWith(never.err, "\nConnection or Timeout Error!\n" + kWaiting)) << never.err;
    EXPECT_EQ(10u, BlocksAt(3 * kBlock)) << "ten sends, then the download gives up";
    EXPECT_EQ(0u, BlocksAt(4 * kBlock));
}

TEST_F(FlashEndToEnd, PulledCableEndsInTheBlockWaitAndJsonSaysSo)
{
    Images(0x50000, 0x10000, 1);
    StartFlashable({"--emergency", "--hangup", "block:20"});
    auto pulled = Flash(3, {"--json"});
    EXPECT_EQ(1, pulled.exitCode);
    EXPECT_TRUE(EndsWith(pulled.err, "\nConnection or Timeout Error!\n" + kWaiting +
                                         "The line to the handset was lost (cable pulled or device gone).\n"))
        << pulled.err;

    std::istringstream lines(pulled.out);
    std::vector<std::string> all;
    for (std::string line; std::getline(lines, line);)
        all.push_back(line);
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(std::string(R"({"result":"failed","text":"Connection or Timeout Error!\n)") + engine::kWaitingInDownloadMode + R"("})",
              all.back());
    EXPECT_NE(all.end(), std::find(all.begin(), all.end(), R"({"step":"Flash Programming of Main"})"));
    // Block 20 is the main pass's twelfth: eleven of 40 were taken, after
    // the boot pass's eight.
    EXPECT_NE(all.end(), std::find(all.begin(), all.end(),
                                   R"({"bytes":155648,"pass":2,"pass_percent":27,"passes":2,"percent":39,"total":393216})"))
        << pulled.out;
}

TEST_F(FlashEndToEnd, RebuildEndsEvenWhenItsLastCommandIsNeverAnswered)
{
    StartHandset({"--drop-from", "boot:3"});
    auto rebuilt = Cli({"rebuild"});
    EXPECT_EQ(0, rebuilt.exitCode) << rebuilt.err;
    EXPECT_TRUE(EndsWith(rebuilt.err, "\nRebuilding Completed...\n")) << rebuilt.err;
    EXPECT_EQ(5u, Requests("BootCommand")) << "one of each, then the last one three times";
}

TEST_F(FlashEndToEnd, PlanShowsWhatLandsWhereWithoutAPort)
{
    Images(0x30000, 0x10000, 0x2001);
    auto plan = Cli({"flash", "--option", "4", "--code", Code(), "--font", Font(), "--font-address", "1000000", "--plan"});
    ASSERT_EQ(0, plan.exitCode) << plan.err;
    EXPECT_NE(std::string::npos, plan.out.find("start request  0xFFFF0000 0x00010000")) << plan.out;
    EXPECT_NE(std::string::npos, plan.out.find("start request  0x01000000 0x00002001")) << plan.out;
    EXPECT_NE(std::string::npos, plan.out.find("NOT WRITTEN: bytes 0x00010000 to 0x0002FFFF (131072 bytes)")) << plan.out;
    EXPECT_NE(std::string::npos, plan.out.find("2 of 8192 bytes")) << "the font's last part of a block too";
    EXPECT_NE(std::string::npos, plan.out.find(" s at 115200 baud")) << plan.out;

    auto missing = Cli({"flash", "--option", "1", "--code", Code(), "--plan"});
    EXPECT_EQ(2, missing.exitCode);
    EXPECT_NE(std::string::npos, missing.err.find("needs --font FILE"));
    auto notCode = Cli({"flash", "--option", "0", "--code", Font(), "--plan"});
    EXPECT_EQ(2, notCode.exitCode);
    EXPECT_NE(std::string::npos, notCode.err.find("Error in loading Bin file"));
}

TEST_F(FlashEndToEnd, FontAddressNeitherGivenNorAskedCancelsTheDownload)
{
    Images(0x9000, 0x10000, 0x100);
    StartFlashable({"--emergency"});
    auto cancelled = Cli({"flash", "--option", "5", "--font", Font()});
    EXPECT_EQ(1, cancelled.exitCode);
    EXPECT_TRUE(EndsWith(cancelled.err, "\nDownload Cancelled..\n")) << cancelled.err;
    EXPECT_TRUE(LoggedRequests().empty()) << "nothing was sent";
}

// The engine in this process, so that its channel can be looked at.
TEST_F(FlashEndToEnd, PulledCableLeavesThePortClosed)
{
    Images(0x9000, 0x10000, 1);
    StartFlashable({"--emergency", "--hangup", "block:3"});
    std::string path = m_devicePath;
    PortResolver::Instance().Set([path](uint8_t) { return path; });
    OperationRecorder recorder(OperationRecorder::OnEnd::Continue);
    auto& context = OperationContext::Instance();
    Pacing::Instance().ClearStop();
    context.SetSelectedPort(1);
    {
        const ScopedTarget target(&recorder);
        SwDownloadWorker::Run({3, Code(), Font()});
    }
    PortResolver::Instance().Set(nullptr);
    EXPECT_EQ("Connection or Timeout Error!\n" + kWaiting.substr(0, kWaiting.size() - 1), recorder.EndText());
    ASSERT_NE(nullptr, context.Channel());
    EXPECT_FALSE(context.Channel()->IsConnected());
    EXPECT_EQ(3u, Requests("WriteBlockRequest")) << "nothing after the block the line went with";
}

// The flash's progress runs once over the whole download, and its end names
// the software the restarted handset runs, in text and in JSON.
TEST_F(FlashEndToEnd, ProgressRunsOverAllPassesAndTheEndNamesTheNewVersion)
{
    Images(0x50000, 0x10000, 0x4000);
    StartFlashable({"--version-after-flash", "B410V01.06"});
    auto flashed = Flash(1, {"--json"});
    ASSERT_EQ(0, flashed.exitCode) << flashed.err;
    std::istringstream lines(flashed.out);
    std::vector<nlohmann::json> progress;
    nlohmann::json result;
    for (std::string line; std::getline(lines, line);) {
        nlohmann::json object = nlohmann::json::parse(line);
        if (object.contains("percent"))
            progress.push_back(object);
        result = object;
    }
    ASSERT_FALSE(progress.empty());
    for (size_t i = 1; i < progress.size(); ++i) {
        EXPECT_GE(progress[i]["percent"], progress[i - 1]["percent"]) << progress[i].dump();
        EXPECT_GE(progress[i]["pass"], progress[i - 1]["pass"]) << progress[i].dump();
        EXPECT_EQ(progress[i]["percent"], progress[i]["bytes"].get<uint64_t>() * 100 / progress[i]["total"].get<uint64_t>());
    }
    EXPECT_EQ(100, progress.back()["percent"]);
    EXPECT_EQ(3, progress.back()["pass"]) << "boot, main and font";
    EXPECT_EQ(3, progress.back()["passes"]);
    EXPECT_EQ("succeeded", result["result"]);
    EXPECT_EQ("B410V01.06", result["version"]);
    EXPECT_EQ("Completed Flash Programming\nNow running B410V01.06", result["text"]);

    auto again = Flash(3, {"--json"});
    EXPECT_EQ(1, again.exitCode) << "the handset runs its software again: not in download mode";
    auto info = Cli({"info"});
    EXPECT_EQ(0, info.exitCode) << info.err;
}

// A flash that fails in download mode says so; until a flash of that port
// completes, a read that finds no handset there says where it may be, with
// an exit status of its own; an EMERGENCY flash recovers it.
TEST_F(FlashEndToEnd, HandsetLeftInDownloadModeIsNamedUntilAFlashCompletes)
{
    Images(0x9000, 0x10000, 1);
    StartFlashable({"--emergency", "--nak-from", "3"});
    auto failed = Flash(3);
    ASSERT_EQ(1, failed.exitCode);
    EXPECT_TRUE(EndsWith(failed.err, kWaiting)) << failed.err;
    m_handset.Stop();

    StartFlashable({"--emergency"}); // the same handset, still in download mode
    const std::string hint = std::string(engine::kMayWaitInDownloadMode) + "\n";
    auto info = Cli({"info"});
    EXPECT_EQ(3, info.exitCode);
    EXPECT_TRUE(EndsWith(info.err, "Error in reading phone's status in DM\n" + hint)) << info.err;
    auto recovered = Flash(3);
    ASSERT_EQ(0, recovered.exitCode) << recovered.err;
    auto after = Cli({"info"});
    EXPECT_EQ(0, after.exitCode) << after.err;
    EXPECT_EQ(std::string::npos, after.err.find(engine::kMayWaitInDownloadMode));
}

// Every simulated handset is listed under the same by-id name, as every
// handset of the model is, and so under one COM number: the note of a
// handset left in download mode stays with its USB port (by-path), and
// another handset on that name whose cable is pulled is not taken for it.
// The noted handset back in its port still is.
TEST_F(FlashEndToEnd, AnotherHandsetUnderTheSameNameDoesNotInheritTheNote)
{
    const std::string byPath = m_folder + "/by-path";
    const std::string byId = m_folder + "/by-id/" + sim::kDefaultByIdName;
    std::vector<std::string> environment = Environment();
    environment.push_back("CORVANETOV_SERIAL_BY_PATH=" + byPath);
    auto cli = [&](std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {CORVANETOV_CLI_PATH, "--port", byId});
        return ChildProcess::Run(arguments, environment);
    };
    auto inPort = [&](const char* port, std::vector<std::string> options) {
        return With(options, {"--by-path", byPath, "--by-path-name", port});
    };
    Images(0x9000, 0x10000, 1);
    StartFlashable(inPort("usb-0:1.1", {"--emergency", "--nak-from", "3"}));
    auto failed = cli({"flash", "--option", "3", "--code", Code()});
    ASSERT_EQ(1, failed.exitCode);
    ASSERT_TRUE(EndsWith(failed.err, kWaiting)) << failed.err;
    m_handset.Stop();

    StartHandset(inPort("usb-0:1.2", {"--hangup", "status:1"}));
    auto pulled = cli({"info"});
    EXPECT_EQ(1, pulled.exitCode);
    EXPECT_EQ(std::string::npos, pulled.err.find(engine::kMayWaitInDownloadMode)) << pulled.err;
    m_handset.Stop();

    StartHandset(inPort("usb-0:1.1", {"--emergency"}));
    auto waiting = cli({"info"});
    EXPECT_EQ(3, waiting.exitCode);
    EXPECT_TRUE(EndsWith(waiting.err, std::string(engine::kMayWaitInDownloadMode) + "\n")) << waiting.err;
}

// recover flashes a handset in download mode again with the images of the
// flash that left it there (here one that failed), found by its port; it
// sends nothing to a handset with no such flash, and once a flash has
// completed it finds the handset answering and leaves it alone.
TEST_F(FlashEndToEnd, RecoverRewritesTheImagesOfTheFlashThatLeftTheHandsetInDownloadMode)
{
    Images(0x9000, 0x10000, 0x3000);
    StartFlashable({"--emergency"});
    auto none = Cli({"recover"});
    EXPECT_EQ(1, none.exitCode);
    EXPECT_TRUE(EndsWith(none.err, "no unfinished flash is recorded for this handset\n")) << none.err;
    EXPECT_EQ(0U, Requests("StartRequest")) << "a handset with nothing to recover is only identified";
    m_handset.Stop();

    // The flash names its images as they are in the folder it runs in; the
    // recovery runs from another.
    StartFlashable({"--emergency", "--nak-from", "3"});
    const std::filesystem::path elsewhere = std::filesystem::current_path();
    std::filesystem::current_path(m_folder);
    const ChildProcess::Result failed = Cli({"flash", "--option", "4", "--code", "code.bin", "--font", "font.bin",
                                             "--font-address", "2E00000"});
    std::filesystem::current_path(elsewhere);
    ASSERT_EQ(1, failed.exitCode) << failed.err;
    m_handset.Stop();
    StartFlashable({"--emergency"});
    auto recovered = Cli({"--json", "recover"});
    ASSERT_EQ(0, recovered.exitCode) << recovered.err;
    EXPECT_NE(std::string::npos, recovered.out.find("Now running")) << recovered.out;
    EXPECT_EQ("flash option 4", Records().front().value("operation", ""));
    m_handset.Stop();
    const std::vector<uint8_t> font = ImageMaker::Read(Font());
    const std::vector<uint8_t> fontOut = ImageMaker::Read(FontOut());
    ASSERT_GE(fontOut.size(), font.size());
    EXPECT_TRUE(std::equal(font.begin(), font.end(), fontOut.begin())) << "the font went to the recorded address";
    StartFlashable({});
    const size_t starts = Requests("StartRequest");
    auto again = Cli({"--json", "recover"});
    EXPECT_EQ(0, again.exitCode) << again.err;
    EXPECT_NE(std::string::npos, again.out.find("answers normally: not touched")) << again.out;
    EXPECT_EQ(starts, Requests("StartRequest"));
}

namespace {
struct SwapCase {
    const char* name;
    bool settingsWrite;   // else a flash that keeps the settings
    const char* swapFrom; // the status request from which on another handset answers
    bool flashed;         // the job's handset got its image (the boot region) before the swap
};

// Each step identifies the handset with one status request: the read, the
// download before its switch and after its restart, the write-back. A
// settings write is a read of what it replaces and the write, after the
// read that made its file.
const SwapCase kSwapCases[] = {
    {"flash, before the download", false, "status:2", false},
    {"flash, before the write-back", false, "status:4", true},
    {"settings write, before the write", true, "status:3", false},
};

void PrintTo(const SwapCase& c, std::ostream* out)
{
    *out << c.name;
}
} // namespace

class KeptSettingsSwap : public FlashEndToEnd, public ::testing::WithParamInterface<SwapCase> {};

// The settings a job reads are the handset's that the read found: another
// handset in its place later is neither flashed nor given any, and the
// record keeps them under the first handset's ESN.
TEST_P(KeptSettingsSwap, AnotherHandsetIsNotServed)
{
    const SwapCase& c = GetParam();
    Images(0x9000, 0x10000, 1);
    StartFlashable({"--esn", "8D2A41F3", "--swap-from", c.swapFrom});
    std::vector<std::string> job = {"flash", "--option", "0", "--code", Code(), "--keep-settings"};
    if (c.settingsWrite) {
        const std::string file = m_folder + "/settings.mmc";
        ASSERT_EQ(0, Cli({"settings", "read", file}).exitCode);
        job = {"settings", "write", file};
    }
    auto ended = Cli(job);
    EXPECT_EQ(1, ended.exitCode);
    EXPECT_NE(std::string::npos, ended.err.find("Another handset answers here (ESN 8D2A41F4); the job's handset has ESN 8D2A41F3\n"))
        << ended.err;
    EXPECT_EQ(c.flashed ? kBootRegion / kBlock : 0, Requests("WriteBlockRequest"));
    EXPECT_EQ(0u, Requests("NvWriteRequest"));
    const std::vector<nlohmann::json> records = Records();
    ASSERT_FALSE(records.empty());
    EXPECT_EQ("8D2A41F3", records.front()["esn"]) << records.front().dump();
    EXPECT_EQ("failed", records.front()["result"]);
}

INSTANTIATE_TEST_SUITE_P(Steps, KeptSettingsSwap, ::testing::ValuesIn(kSwapCases),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

// A slot's name is the same on every bench of a shop (by-path names the USB
// port), and a slot holds one handset after another: recover goes by this
// bench's flashes of the handset noted as waiting there, not by a newer one
// of another bench or of another handset.
TEST_F(FlashEndToEnd, RecoverTakesOnlyThisBenchsFlashOfTheHandsetWaitingThere)
{
    Images(0x9000, 0x10000, 1);
    StartFlashable({"--esn", "8A3F02C1", "--nak-from", "3"});
    ASSERT_EQ(1, Flash(0).exitCode);
    const std::string slot = Records().front().value("device_path", "");
    auto insert = [&](const char* uuid, const char* bench, const char* esn, const char* result) {
        const std::string sql = std::string("insert into service_records (uuid, started, bench, device_path, esn, operation, "
                                            "inputs, result) values ('") + uuid + "', '2999-01-01T00:00:00.000Z', '" + bench +
                                "', ?, '" + esn + "', 'flash option 0', '[{\"role\":\"code\",\"name\":\"/gone.bin\"}]', '" +
                                result + "')";
        return ChildProcess::Run({"/usr/bin/python3", "-c",
                                  "import sqlite3,sys; c=sqlite3.connect(sys.argv[1]); c.execute(sys.argv[2], (sys.argv[3],)); c.commit()",
                                  m_folder + "/data/corvanetov/history.sqlite", sql, slot})
            .exitCode;
    };
    ASSERT_EQ(0, insert("other-bench", "bench-of-another-room", "8A3F02C1", "completed"));
    char bench[256] = {};
    ASSERT_EQ(0, gethostname(bench, sizeof bench - 1));
    ASSERT_EQ(0, insert("other-handset", bench, "1B2B3B4B", "unfinished"));
    m_handset.Stop();
    StartFlashable({"--emergency", "--esn", "8A3F02C1"});
    auto recovered = Cli({"recover"});
    EXPECT_EQ(0, recovered.exitCode) << recovered.err;
}

// Ctrl-C (or SIGTERM) while the loader erases: the tool says where it left
// the handset.
TEST_F(FlashEndToEnd, StopInDownloadModeSaysWhereTheHandsetWaits)
{
    Images(0x9000, 0x10000, 1);
    StartFlashable({"--emergency", "--erase-ms", "60000"});
    ChildProcess tool;
    const std::string output = m_folder + "/flash.txt";
    tool.StartLogged({CORVANETOV_CLI_PATH, "flash", "--option", "3", "--code", Code()}, Environment(), output);
    ASSERT_TRUE(AwaitRequests("EraseRequest", 1));
    EXPECT_EQ(130, tool.Stop());
    std::ifstream in(output);
    const std::string said{std::istreambuf_iterator<char>(in), {}};
    EXPECT_TRUE(EndsWith(said, "Stopped.\n" + kWaiting)) << said;
}

// A script that reads only the first lines (`| head -n 3`) takes the
// flash's output with it, not the flash: the handset gets its whole image
// and the record says so.
TEST_F(FlashEndToEnd, FlashOutlivesTheReaderOfItsOutput)
{
    Images(0x30000, 0x10000, 1);
    StartFlashable({});
    auto piped = ChildProcess::Run({"/bin/bash", "-c", "\"$@\" | head -n 3; exit \"${PIPESTATUS[0]}\"", "flash", CORVANETOV_CLI_PATH,
                                    "--json", "flash", "--option", "0", "--code", Code()},
                                   Environment());
    EXPECT_EQ(0, piped.exitCode) << piped.err;
    EXPECT_EQ(3, std::count(piped.out.begin(), piped.out.end(), '\n')) << piped.out;
    ASSERT_FALSE(Records().empty());
    EXPECT_EQ("completed", Records().front().value("result", ""));
    m_handset.Stop();
    std::vector<uint8_t> image = ImageMaker::Read(Code());
    std::vector<uint8_t> flashed = ImageMaker::Read(FlashOut());
    ASSERT_EQ(kBootRegion, flashed.size());
    EXPECT_TRUE(std::equal(flashed.begin(), flashed.end(), image.begin()));
}
