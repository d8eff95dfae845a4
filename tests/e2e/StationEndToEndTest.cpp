// The station against simulated handsets that are plugged in and pulled out
// by making and removing their by-id links, as udev does.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <thread>
#include <unistd.h>

#include "E2eFixture.h"
#include "samples/ImageMaker.h"
#include "comm/SerialDevice.h"

using namespace corvanetov;

namespace {
using namespace std::chrono_literals;
constexpr auto kGiveUp = std::chrono::seconds(90);
constexpr auto kLook = 20ms;
constexpr auto kStagger = 40ms;
// The station's own answer to Ctrl-C: every child stopped and gone.
constexpr auto kStopBudget = 3s;
// Longer than the station takes to see a link go.
constexpr auto kReplugGap = 1200ms;
// A slow erase keeps a handset's job going long enough to be caught in the
// middle of it (within the tool's wait for the erase).
const std::vector<std::string> kSlowErase = {"--erase-ms", "100000"};
// Eight handsets and their eight tools share the machine's few cores: at a
// hundredth of the real timing an answer's time-out is 20 ms, which a busy
// machine's scheduling alone can exceed. The tray runs at a twentieth.
constexpr char kTrayTimeScale[] = "CORVANETOV_TIME_SCALE=0.05";
// Within the boot region: the flash then holds the image from address 0.
constexpr uint64_t kImageSize = 0xC000;

enum class During { Nothing, KillJob, Unplug, Interrupt, Replug, KillStation };

struct StationCase {
    const char* name;
    size_t handsets;
    const char* job;
    bool once;
    size_t odd;                          // the handset the fault or the action is about
    std::vector<std::string> oddOptions; // its simulator's options
    During during;
    const char* oddEnd; // what its row ends with; nullptr: it completes
};

const StationCase kCases[] = {
    {"EightFlashedAtOnce", 8, "flash", true, 0, {}, During::Nothing, nullptr},
    {"RefusedBlockFailsAlone", 8, "flash", true, 3, {"--nak-from", "2"}, During::Nothing, "failed"},
    {"CablePulledFailsAlone", 8, "flash", true, 6, {"--hangup", "block:3"}, During::Nothing, "The line to the handset was lost"},
    {"KilledJobFailsItsRowOnly", 4, "flash", true, 1, kSlowErase, During::KillJob, "signal 9"},
    {"UnpluggedMidJobFailsItsRow", 4, "flash", true, 2, kSlowErase, During::Unplug, "The line to the handset was lost"},
    {"CtrlCStopsAllAndFreesEveryPort", 4, "flash", false, 0, kSlowErase, During::Interrupt, "stopped"},
    {"ReplugServedAgain", 2, "info", false, 1, {}, During::Replug, nullptr},
    {"KilledStationsJobsFinishTheirFlashes", 2, "flash", true, 0, kSlowErase, During::KillStation, nullptr},
};

// The cases whose action concerns every handset, not one.
bool EveryHandsetSingledOut(const StationCase& c)
{
    return c.during == During::Interrupt || c.during == During::KillStation;
}

void PrintTo(const StationCase& c, std::ostream* out)
{
    *out << c.name;
}

std::string LinkName(size_t handset)
{
    return "usb-Corvane_VQX-B410_" + std::to_string(handset) + "_qxcdmdm-if02-port0";
}

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// Until the process has ended (gone, or a zombie no one reaps).
bool AwaitGone(pid_t pid)
{
    auto deadline = std::chrono::steady_clock::now() + kGiveUp;
    while (std::chrono::steady_clock::now() < deadline) {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string fields;
        if (!std::getline(stat, fields) || Contains(fields, ") Z "))
            return true;
        std::this_thread::sleep_for(kLook);
    }
    return false;
}
} // namespace

class StationEndToEnd : public E2eFixture, public testing::WithParamInterface<StationCase> {
protected:
    struct Handset {
        ChildProcess sim;
        std::string device;
        std::string link;
        std::string flashed;
    };

    void StartHandsets(const StationCase& c)
    {
        for (size_t i = 0; i < c.handsets; ++i) {
            Handset& handset = *m_handsets.emplace_back(std::make_unique<Handset>());
            std::string name = m_folder + "/handset" + std::to_string(i);
            handset.flashed = name + ".flashed";
            handset.link = m_folder + "/by-id/" + LinkName(i);
            std::vector<std::string> argv = {VQXB410_SIM_PATH, "--state", name + ".json", "--flash-out", handset.flashed,
                                             "--esn", Esn(i)};
            if (i == c.odd || EveryHandsetSingledOut(c))
                argv.insert(argv.end(), c.oddOptions.begin(), c.oddOptions.end());
            handset.device = handset.sim.Start(argv, TrayEnvironment());
        }
    }
    void Plug(size_t i) { std::filesystem::create_symlink(m_handsets[i]->device, m_handsets[i]->link); }
    void Unplug(size_t i) { std::filesystem::remove(m_handsets[i]->link); }
    void PlugAll()
    {
        for (size_t i = 0; i < m_handsets.size(); ++i) {
            Plug(i);
            std::this_thread::sleep_for(kStagger);
        }
    }

    void StartStation(const StationCase& c)
    {
        std::vector<std::string> argv = {CORVANETOV_CLI_PATH, "station"};
        if (std::string(c.job) == "flash")
            argv.insert(argv.end(), {"flash", "--option", "0", "--code", Code()});
        else
            argv.push_back(c.job);
        if (c.once)
            argv.push_back("--once");
        m_station.StartLogged(argv, TrayEnvironment(), Output());
    }
    std::vector<std::string> TrayEnvironment() const
    {
        std::vector<std::string> environment = Environment();
        environment.push_back(kTrayTimeScale);
        return environment;
    }
    std::string Code() const { return m_folder + "/code.bin"; }
    std::string Output() const { return m_folder + "/station.txt"; }
    std::string OutputText() const
    {
        std::ifstream in(Output());
        return {std::istreambuf_iterator<char>(in), {}};
    }
    std::vector<nlohmann::json> Lines() const
    {
        std::vector<nlohmann::json> lines;
        std::ifstream in(Output());
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.front() == '{')
                lines.push_back(nlohmann::json::parse(line));
        }
        return lines;
    }
    size_t Count(const std::function<bool(const nlohmann::json&)>& which) const
    {
        std::vector<nlohmann::json> lines = Lines();
        return static_cast<size_t>(std::count_if(lines.begin(), lines.end(), which));
    }
    bool Await(const std::function<bool(const nlohmann::json&)>& which, size_t count = 1) const
    {
        auto deadline = std::chrono::steady_clock::now() + kGiveUp;
        while (Count(which) < count) {
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
            std::this_thread::sleep_for(kLook);
        }
        return true;
    }
    static std::function<bool(const nlohmann::json&)> Ended(const std::string& port = {})
    {
        return [port](const nlohmann::json& line) {
            return line.value("station", "") == "ended" && (port.empty() || line.value("port", "") == port);
        };
    }
    // The port the station gave a handset: the one whose job said its ESN.
    std::string PortOf(size_t i) const
    {
        for (const nlohmann::json& line : Lines())
            if (line.value("esn", "") == Esn(i))
                return line.value("port", "");
        return {};
    }
    static std::string Esn(size_t i) { return "8D2A41F" + std::to_string(i); }
    // Until the handset's job erases its flash: it is mid-flash.
    bool AwaitErasing(size_t i) const
    {
        return Await([this, i](const nlohmann::json& line) {
            return line.value("step", "").rfind("Erasing", 0) == 0 && line.value("port", "") == PortOf(i);
        });
    }
    // The handset's job, found among the processes by its port.
    pid_t JobOf(size_t i) const;
    void Act(const StationCase& c);
    void ExpectOneRunInTheHistory(const StationCase& c);
    nlohmann::json EndOf(size_t i) const
    {
        for (const nlohmann::json& line : Lines())
            if (Ended()(line) && line.value("esn", "") == Esn(i))
                return line;
        return {};
    }
    nlohmann::json RecordOf(size_t i)
    {
        for (const nlohmann::json& record : Records())
            if (record.value("esn", "") == Esn(i))
                return record;
        return {};
    }
    void KillStationMidFlash(const StationCase& c);
    bool FlashedExactly(Handset& handset)
    {
        handset.sim.Stop();
        std::vector<uint8_t> image = ImageMaker::Read(Code());
        std::vector<uint8_t> flashed = ImageMaker::Read(handset.flashed);
        return flashed.size() >= image.size() && std::equal(image.begin(), image.end(), flashed.begin()) &&
               std::all_of(flashed.begin() + static_cast<std::ptrdiff_t>(image.size()), flashed.end(),
                           [](uint8_t b) { return b == 0xFF; });
    }

    std::vector<std::unique_ptr<Handset>> m_handsets;
    ChildProcess m_station;
};

pid_t StationEndToEnd::JobOf(size_t i) const
{
    const std::string wanted = m_handsets[i]->link;
    std::unique_ptr<DIR, int (*)(DIR*)> proc(opendir("/proc"), closedir);
    while (dirent* entry = readdir(proc.get())) {
        std::ifstream in(std::string("/proc/") + entry->d_name + "/cmdline");
        std::string command{std::istreambuf_iterator<char>(in), {}};
        if (Contains(command, std::string("--port") + '\0' + wanted + '\0'))
            return std::stoi(entry->d_name);
    }
    return -1;
}

// One command line for the tray, the same image for every handset, and one
// handset that a fault or the technician singles out; every other handset
// completes, and its image arrives exactly.
TEST_P(StationEndToEnd, Serves)
{
    const StationCase& c = GetParam();
    ASSERT_TRUE(ImageMaker::WriteCode(Code(), kImageSize, ImageMaker::kBootPartSize, ImageMaker::kVersion));
    ASSERT_NO_FATAL_FAILURE(StartHandsets(c));
    if (c.once)
        PlugAll();
    StartStation(c);
    if (!c.once)
        PlugAll();
    ASSERT_NO_FATAL_FAILURE(Act(c));
    const int exitCode = m_station.WaitForExit(kGiveUp);
    const std::string output = OutputText();
    EXPECT_EQ(c.during == During::KillStation ? 128 + SIGKILL : !c.once ? 130 : c.oddEnd ? 1 : 0, exitCode) << output;
    for (size_t i = 0; i < m_handsets.size(); ++i) {
        SCOPED_TRACE("handset " + std::to_string(i) + "\n" + output);
        // A killed station says nothing more: the jobs' own records tell.
        const nlohmann::json end = c.during == During::KillStation ? RecordOf(i) : EndOf(i);
        const bool odd = c.oddEnd && (i == c.odd || EveryHandsetSingledOut(c));
        if (odd) {
            EXPECT_NE("completed", end.value("result", "")) << end;
            EXPECT_TRUE(Contains(end.dump(), c.oddEnd) || Contains(end.value("result", ""), c.oddEnd)) << end;
            continue;
        }
        EXPECT_EQ("completed", end.value("result", "")) << end;
        if (std::string(c.job) == "flash") {
            EXPECT_TRUE(FlashedExactly(*m_handsets[i]));
        }
    }
    ExpectOneRunInTheHistory(c);
}

// Every job the station started keeps its service record under the
// station's one run, under its handset's ESN whatever its end (a handset
// pulled mid-flash included): a tray's work can be looked up as one. A job
// killed outright leaves the record its flash kept as it began.
void StationEndToEnd::ExpectOneRunInTheHistory(const StationCase& c)
{
    std::string listed;
    std::set<std::string> runs;
    std::multiset<std::string> esns;
    for (const nlohmann::json& record : Records()) {
        listed += record.dump() + "\n";
        runs.insert(record.value("station_run", ""));
        esns.insert(record.value("esn", ""));
        const bool killed = c.during == During::KillJob && record.value("esn", "") == Esn(c.odd);
        EXPECT_EQ(killed, record.value("result", "") == "unfinished") << record;
        if (killed) {
            EXPECT_EQ(Sha256(Code()), record["inputs"][0].value("sha256", ""));
        }
    }
    EXPECT_EQ(1U, runs.size()) << listed;
    EXPECT_EQ(0U, runs.count("")) << "a job's record names no station run\n" << listed;
    for (size_t i = 0; i < m_handsets.size(); ++i) {
        const bool servedTwice = c.during == During::Replug && i == c.odd;
        EXPECT_EQ(servedTwice ? 2U : 1U, esns.count(Esn(i))) << "records of handset " << i << "\n" << listed;
    }
}

void StationEndToEnd::Act(const StationCase& c)
{
    switch (c.during) {
    case During::Nothing:
        return;
    case During::KillJob: {
        ASSERT_TRUE(AwaitErasing(c.odd));
        pid_t job = JobOf(c.odd);
        ASSERT_GT(job, 0);
        ASSERT_EQ(0, kill(job, SIGKILL));
        return;
    }
    case During::Unplug:
        ASSERT_TRUE(AwaitErasing(c.odd));
        kill(m_handsets[c.odd]->sim.Pid(), SIGKILL);
        Unplug(c.odd);
        return;
    case During::Interrupt: {
        for (size_t i = 0; i < m_handsets.size(); ++i)
            ASSERT_TRUE(AwaitErasing(i));
        auto asked = std::chrono::steady_clock::now();
        ASSERT_EQ(0, kill(m_station.Pid(), SIGINT));
        ASSERT_EQ(130, m_station.WaitForExit(kGiveUp));
        EXPECT_LT(std::chrono::steady_clock::now() - asked, kStopBudget);
        for (const auto& handset : m_handsets) {
            SerialDevice device;
            EXPECT_TRUE(device.OpenSerial(handset->device)) << device.LastError();
        }
        return;
    }
    case During::KillStation:
        ASSERT_NO_FATAL_FAILURE(KillStationMidFlash(c));
        return;
    case During::Replug:
        ASSERT_TRUE(Await(Ended(), m_handsets.size()));
        Unplug(c.odd);
        std::this_thread::sleep_for(kReplugGap);
        EXPECT_EQ(m_handsets.size(), Count(Ended())) << "a handset still plugged in is not served again";
        Plug(c.odd);
        ASSERT_TRUE(Await(Ended(), m_handsets.size() + 1));
        ASSERT_EQ(0, kill(m_station.Pid(), SIGINT));
        return;
    }
}

// A station killed outright in the middle of its flashes: its jobs live on
// in sessions of their own, and a lost reader is not their end. A new
// station meanwhile finds every handset busy and sends nothing to it.
void StationEndToEnd::KillStationMidFlash(const StationCase& c)
{
    for (size_t i = 0; i < m_handsets.size(); ++i)
        ASSERT_TRUE(AwaitErasing(i));
    std::vector<pid_t> jobs;
    for (size_t i = 0; i < m_handsets.size(); ++i) {
        jobs.push_back(JobOf(i));
        EXPECT_NE(getsid(m_station.Pid()), getsid(jobs.back())) << "a signal to the station's group reaches the job";
    }
    ASSERT_EQ(0, kill(m_station.Pid(), SIGKILL));
    ASSERT_EQ(128 + SIGKILL, m_station.WaitForExit(kGiveUp));
    // Its refusals are kept apart from the tray's records.
    ChildProcess::Result second = ChildProcess::Run(
        {CORVANETOV_CLI_PATH, "--json", "station", "info", "--history", m_folder + "/second.sqlite", "--once"},
        TrayEnvironment(), kGiveUp);
    EXPECT_EQ(1, second.exitCode) << second.out << second.err;
    std::istringstream lines(second.out);
    size_t busy = 0;
    for (std::string line; std::getline(lines, line);) {
        nlohmann::json row = nlohmann::json::parse(line);
        busy += row.value("station", "") == "ended" && Contains(row.value("text", ""), "is busy: corvanetov-cli");
    }
    EXPECT_EQ(c.handsets, busy) << second.out;
    for (pid_t job : jobs) {
        ASSERT_GT(job, 0);
        EXPECT_TRUE(AwaitGone(job));
    }
}

// A handset's by-id name changes while it restarts into download mode (its
// link gone meanwhile, back under the loader's name); its slot, the by-path
// link, stays. A handset plugged into another slot in that gap is served on
// a row of its own, and the first stays its job's and is flashed.
TEST_F(StationEndToEnd, HandsetRenamedInDownloadModeStaysInItsSlot)
{
    ASSERT_TRUE(ImageMaker::WriteCode(Code(), kImageSize, ImageMaker::kBootPartSize, ImageMaker::kVersion));
    std::vector<std::string> environment = TrayEnvironment();
    environment.push_back("CORVANETOV_SERIAL_BY_PATH=" + m_folder + "/by-path");
    auto plug = [&](size_t i) {
        Handset& handset = *m_handsets.emplace_back(std::make_unique<Handset>());
        const std::string name = m_folder + "/handset" + std::to_string(i);
        handset.flashed = name + ".flashed";
        handset.device = handset.sim.Start({VQXB410_SIM_PATH, "--state", name + ".json", "--flash-out", handset.flashed,
                                            "--esn", Esn(i), "--reset-ms", "3000", "--by-id", m_folder + "/by-id",
                                            "--by-id-name", LinkName(i), "--by-id-download-name", LinkName(i + 10),
                                            "--by-path", m_folder + "/by-path", "--by-path-name", "usb-0:1." + std::to_string(i + 1)},
                                           environment);
    };
    m_station.StartLogged({CORVANETOV_CLI_PATH, "station", "flash", "--option", "0", "--code", Code()}, environment, Output());
    plug(0);
    ASSERT_TRUE(Await([](const nlohmann::json& line) { return line.value("step", "") == "Changing D/L Mode"; }));
    plug(1);
    ASSERT_TRUE(Await(Ended(), 2)) << OutputText();
    std::this_thread::sleep_for(kReplugGap);
    ASSERT_EQ(0, kill(m_station.Pid(), SIGINT));
    EXPECT_EQ(130, m_station.WaitForExit(kGiveUp));
    EXPECT_EQ(2U, Count(Ended())) << "one row per handset\n" << OutputText();
    for (size_t i = 0; i < m_handsets.size(); ++i) {
        SCOPED_TRACE("handset " + std::to_string(i) + "\n" + OutputText());
        EXPECT_EQ("completed", EndOf(i).value("result", ""));
        EXPECT_TRUE(FlashedExactly(*m_handsets[i]));
    }
}

// A tray after a power cut: two handsets left in download mode by flashes
// killed mid-way, whose image is still there, are flashed again and come
// back under their ESN; one whose image has changed since is left alone and
// its row names the image it needs; one that answers normally is only
// identified.
TEST_F(StationEndToEnd, RecoverHealsATrayLeftInDownloadMode)
{
    const std::string changed = m_folder + "/changed.bin";
    ASSERT_TRUE(ImageMaker::WriteCode(Code(), kImageSize, ImageMaker::kBootPartSize, ImageMaker::kVersion));
    ASSERT_TRUE(ImageMaker::WriteCode(changed, kImageSize, ImageMaker::kBootPartSize, ImageMaker::kVersion));
    const std::string recordedHash = Sha256(changed);
    std::vector<std::string> environment = TrayEnvironment();
    environment.push_back("CORVANETOV_SERIAL_BY_PATH=" + m_folder + "/by-path");
    auto slot = [this](size_t i) { return m_folder + "/by-path/usb-0:1." + std::to_string(i + 1); };
    auto log = [this](size_t i, const char* phase) { return m_folder + "/handset" + std::to_string(i) + phase + ".log"; };
    auto start = [&](size_t i, const char* phase, const std::vector<std::string>& options) {
        if (i == m_handsets.size())
            m_handsets.push_back(std::make_unique<Handset>());
        Handset& handset = *m_handsets[i];
        handset.sim.Stop();
        handset.flashed = m_folder + "/handset" + std::to_string(i) + ".flashed";
        std::vector<std::string> argv = {VQXB410_SIM_PATH, "--state", m_folder + "/handset" + std::to_string(i) + ".json",
                                         "--flash-out", handset.flashed, "--esn", Esn(i), "--log", log(i, phase),
                                         "--by-id", m_folder + "/by-id", "--by-id-name", LinkName(i),
                                         "--by-path", m_folder + "/by-path", "--by-path-name", "usb-0:1." + std::to_string(i + 1)};
        argv.insert(argv.end(), options.begin(), options.end());
        handset.device = handset.sim.Start(argv, environment);
    };
    auto logged = [](const std::string& path, const std::string& command) {
        return Contains(FileText(path), "\"cmd\":\"" + command + "\"");
    };
    ChildProcess flashes[3];
    for (size_t i = 0; i < 3; ++i) {
        start(i, "-flash", kSlowErase);
        flashes[i].StartLogged({CORVANETOV_CLI_PATH, "--json", "--port", slot(i), "flash", "--option", "0", "--code",
                                i == 2 ? changed : Code()},
                               environment, m_folder + "/flash" + std::to_string(i) + ".txt");
    }
    for (size_t i = 0; i < 3; ++i) {
        const auto deadline = std::chrono::steady_clock::now() + kGiveUp;
        while (!logged(log(i, "-flash"), "EraseRequest") && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(kLook);
        ASSERT_TRUE(logged(log(i, "-flash"), "EraseRequest")) << FileText(m_folder + "/flash" + std::to_string(i) + ".txt");
        ASSERT_EQ(0, kill(flashes[i].Pid(), SIGKILL));
        ASSERT_EQ(128 + SIGKILL, flashes[i].WaitForExit(kGiveUp));
        // The power cut: the handset comes back waiting in download mode.
        start(i, "-recover", {"--emergency", "--version-after-flash", "B410V01.07"});
    }
    start(3, "-recover", {});
    ASSERT_TRUE(ImageMaker::WriteCode(changed, kImageSize / 2, ImageMaker::kBootPartSize, ImageMaker::kVersion));

    m_station.StartLogged({CORVANETOV_CLI_PATH, "--json", "station", "--recover", "--once"}, environment, Output());
    EXPECT_EQ(1, m_station.WaitForExit(kGiveUp)) << OutputText();
    for (size_t i = 0; i < 2; ++i) {
        SCOPED_TRACE("handset " + std::to_string(i) + "\n" + OutputText());
        EXPECT_EQ("completed", EndOf(i).value("result", ""));
        EXPECT_TRUE(Contains(EndOf(i).value("text", ""), "Now running B410V01.07")) << EndOf(i);
        EXPECT_TRUE(FlashedExactly(*m_handsets[i]));
    }
    const size_t failed = Count([&](const nlohmann::json& line) {
        return Ended()(line) && line.value("result", "") == "failed" && Contains(line.value("text", ""), changed) &&
               Contains(line.value("text", ""), recordedHash);
    });
    EXPECT_EQ(1U, failed) << "the row names the image it needs\n" << OutputText();
    EXPECT_EQ("answers normally: not touched", EndOf(3).value("text", "")) << OutputText();
    for (size_t i = 2; i < 4; ++i) {
        m_handsets[i]->sim.Stop();
        EXPECT_FALSE(logged(log(i, "-recover"), "StartRequest")) << "handset " << i << " was sent the loader's start";
        EXPECT_FALSE(logged(log(i, "-recover"), "NvWriteRequest")) << "handset " << i << " was written to";
    }
    for (const nlohmann::json& record : Records()) {
        const bool flash = record.value("operation", "").rfind("flash", 0) == 0;
        EXPECT_FALSE(flash && record.value("esn", "") == Esn(3)) << "a flash record of the normal handset: " << record;
    }
}

INSTANTIATE_TEST_SUITE_P(Station, StationEndToEnd, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<StationCase>& info) { return std::string(info.param.name); });
