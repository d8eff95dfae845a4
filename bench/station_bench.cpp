// The station, against simulated handsets, through corvanetov-cli station:
//  (a) 64 handsets on lines throttled to 115200 baud 8N1, flashed at once:
//      each handset's block phase against its line's byte rate (budget at
//      least 0.97), and the wall time of the 64 against one handset alone
//      (budget at most 1.10);
//  (b) 128 handsets on unthrottled lines: every one completes.
// For each run the CPU time of the station's own process, of its jobs and
// of the simulated handsets, per handset, and the time each step of the
// job took: where the wall time of many goes that one alone does not spend.
// Every figure is measured in this one run. Exits 1 only when something
// could not be measured.
//
// --cli PATH measures another corvanetov-cli; --before PATH runs the tray
// of 64 also with PATH (the tool as it was before a change) in the same
// run and prints the two side by side.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "samples/ImageMaker.h"
#include "TempFolder.h"
#include "engine/DownloadImages.h"
#include "engine/DownloadOption.h"
#include "engine/FlashPlan.h"

using namespace corvanetov;

namespace {
using Clock = std::chrono::steady_clock;
constexpr uint64_t kImageSize = 0x40000;
constexpr uint32_t kLineRate = 115200;
constexpr double kBitsPerByte8N1 = 10.0;
constexpr double kBlockBudget = 0.97;
constexpr double kWallBudget = 1.10;
constexpr size_t kThrottled = 64;
constexpr size_t kUnthrottled = 128;
constexpr int kEmergencyOption = 3;
constexpr unsigned kFirstEsn = 0x8D2B0000;
constexpr auto kLook = std::chrono::milliseconds(5);
constexpr auto kGiveUp = std::chrono::minutes(15);

double SecondsOf(Clock::duration duration)
{
    return std::chrono::duration<double>(duration).count();
}

// Each handset's block phase from the station's lines as they arrive: the
// time from each pass's start to the acknowledgement of its last block,
// summed over the passes. A pass starts where the amount done falls back
// or the amount to do changes.
class BlockPhases {
public:
    void Take(const nlohmann::json& line, Clock::time_point at)
    {
        if (!line.contains("total") || !line.contains("bytes") || !line.contains("port"))
            return;
        Handset& handset = m_handsets[line["port"].get<std::string>()];
        const uint64_t bytes = line["bytes"].get<uint64_t>();
        const uint64_t total = line["total"].get<uint64_t>();
        if (!handset.started || bytes < handset.lastBytes || total != handset.lastTotal || bytes == handset.lastBytes) {
            handset.passStart = at;
            handset.lastAck = at;
        } else {
            handset.seconds += SecondsOf(at - std::max(handset.passStart, handset.lastAck));
            handset.lastAck = at;
        }
        handset.started = true;
        handset.lastBytes = bytes;
        handset.lastTotal = total;
    }
    std::vector<std::pair<std::string, double>> Seconds() const
    {
        std::vector<std::pair<std::string, double>> seconds;
        for (const auto& [port, handset] : m_handsets)
            seconds.emplace_back(port, handset.seconds);
        return seconds;
    }

private:
    struct Handset {
        bool started = false;
        Clock::time_point passStart{};
        Clock::time_point lastAck{};
        uint64_t lastBytes = 0;
        uint64_t lastTotal = 0;
        double seconds = 0;
    };
    std::map<std::string, Handset> m_handsets;
};

// Each handset's steps in the order its job said them, with the time since
// the station started: a step lasts until the next one begins. The time
// before the job's first line, the handset's identification, the job's
// result (then its records are kept) and the station's word that the job
// ended count as steps too.
class StepTimes {
public:
    struct Step {
        std::string name;
        double at = 0;
    };

    void Take(const nlohmann::json& line, double at)
    {
        if (!line.contains("port"))
            return;
        std::vector<Step>& steps = m_handsets[line["port"].get<std::string>()];
        if (steps.empty())
            steps.push_back({"(the station and the job starting)", 0});
        if (line.contains("step"))
            steps.push_back({line["step"].get<std::string>(), at});
        else if (line.value("station", "") == "ended")
            steps.push_back({"(ended)", at});
        else if (line.contains("result"))
            steps.push_back({"(result; the records kept)", at});
        else if (line.contains("esn") && (steps.empty() || steps.back().name != "(identified)"))
            steps.push_back({"(identified)", at});
    }
    // How long step `index` lasted for every handset whose step there has
    // this name, ascending.
    std::vector<double> Durations(size_t index, const std::string& name) const
    {
        std::vector<double> durations;
        for (const auto& [port, steps] : m_handsets) {
            if (index + 1 < steps.size() && steps[index].name == name)
                durations.push_back(steps[index + 1].at - steps[index].at);
        }
        std::sort(durations.begin(), durations.end());
        return durations;
    }
    const std::vector<Step>& AnyHandset() const
    {
        static const std::vector<Step> none;
        return m_handsets.empty() ? none : m_handsets.begin()->second;
    }

private:
    std::map<std::string, std::vector<Step>> m_handsets;
};

struct Run {
    double wallSeconds = 0;
    double stationCpuSeconds = 0; // the station's own process
    double jobsCpuSeconds = 0;    // its children, the jobs
    double handsetsCpuSeconds = 0;
    size_t started = 0; // handsets whose simulator started
    int completed = 0;
    int handsets = 0;
    BlockPhases phases;
    StepTimes steps;
};

// A process's CPU seconds (user and system): its own, and its children's
// that it has waited for.
struct ProcessCpu {
    double own = -1;
    double children = 0;
};

ProcessCpu CpuSeconds(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    size_t afterName = text.rfind(')');
    if (afterName == std::string::npos)
        return {};
    std::istringstream fields(text.substr(afterName + 2));
    std::string field;
    unsigned long long ticks[18] = {};
    for (int i = 3; i <= 17 && fields >> field; ++i) // from the state, a letter
        ticks[i] = i >= 14 ? std::stoull(field) : 0;
    const double perSecond = static_cast<double>(sysconf(_SC_CLK_TCK));
    return {static_cast<double>(ticks[14] + ticks[15]) / perSecond, static_cast<double>(ticks[16] + ticks[17]) / perSecond};
}

std::string FileText(const std::string& path)
{
    std::ifstream in(path);
    std::string text;
    std::getline(in, text);
    return text;
}

// CPU seconds of this program's children that have ended and were waited for.
double ChildrenCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    auto seconds = [](const timeval& time) { return static_cast<double>(time.tv_sec) + time.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Tray {
    std::string cli;
    size_t count = 0;
    uint32_t lineRate = 0; // 0: unthrottled
    std::string name;      // the run's own port table and files
};

// Starts the tray's simulated handsets, each with an ESN of its own: the
// station serves one handset in one row only.
std::vector<std::unique_ptr<ChildProcess>> StartHandsets(const Tray& tray, const std::string& byId)
{
    std::vector<std::unique_ptr<ChildProcess>> handsets;
    for (size_t i = 0; i < tray.count; ++i) {
        char esn[16];
        std::snprintf(esn, sizeof esn, "%08X", kFirstEsn + static_cast<unsigned>(i));
        handsets.push_back(std::make_unique<ChildProcess>());
        std::vector<std::string> argv = {VQXB410_SIM_PATH, "--emergency", "--esn", esn, "--by-id", byId, "--by-id-name",
                                         "usb-Corvane_VQX-B410_" + std::to_string(i) + "_qxcdmdm-if02-port0"};
        if (tray.lineRate)
            argv.insert(argv.end(), {"--line-rate", std::to_string(tray.lineRate)});
        // A system limit (ptys, processes) ends the tray where it is
        // reached: the run goes on with those started.
        if (handsets.back()->Start(argv).empty()) {
            handsets.pop_back();
            std::printf("only %zu of %zu handsets started (ptys in use %s of at most %s)\n", i, tray.count,
                        FileText("/proc/sys/kernel/pty/nr").c_str(), FileText("/proc/sys/kernel/pty/max").c_str());
            break;
        }
    }
    return handsets;
}

// The station's lines, read from its output file as they come.
class StationLines {
public:
    explicit StationLines(const std::string& path) : m_in(path) {}

    void Read(Run& run, Clock::time_point start)
    {
        const auto at = Clock::now();
        m_in.clear();
        for (std::string line; std::getline(m_in, line);) {
            if (m_in.eof()) { // a line not yet ended: read it whole next time
                m_pending += line;
                break;
            }
            line = m_pending + line;
            m_pending.clear();
            if (line.empty() || line.front() != '{')
                continue;
            nlohmann::json parsed = nlohmann::json::parse(line, nullptr, false);
            run.phases.Take(parsed, at);
            run.steps.Take(parsed, SecondsOf(at - start));
            if (parsed.value("station", "") == "summary") {
                run.completed = parsed.value("completed", 0);
                run.handsets = parsed.value("handsets", 0);
            }
        }
    }

private:
    std::ifstream m_in;
    std::string m_pending;
};

// Flashes the image on the tray's handsets at once through the station, and
// reads its lines as they come. The CPU of the station and its jobs is
// this program's children's once the station is waited for; the handsets'
// once they are.
bool Flash(const TempFolder& folder, const std::string& image, const Tray& tray, Run& run)
{
    const std::string byId = folder.File("by-id-" + tray.name);
    std::vector<std::unique_ptr<ChildProcess>> handsets = StartHandsets(tray, byId);
    run.started = handsets.size();
    const std::string output = byId + ".out";
    const double cpuBefore = ChildrenCpuSeconds();
    ChildProcess station;
    const auto start = Clock::now();
    station.StartLogged({tray.cli, "station", "flash", "--option", std::to_string(kEmergencyOption), "--code", image, "--once",
                         "--json"},
                        {"CORVANETOV_SERIAL_BY_ID=" + byId, "XDG_CONFIG_HOME=" + folder.File("config-" + tray.name),
                         "CORVANETOV_TIME_SCALE=1"},
                        output);
    StationLines lines(output);
    ProcessCpu stationCpu;
    while (station.WaitForExit(std::chrono::milliseconds(0)) == ChildProcess::kStillRunning && Clock::now() - start < kGiveUp) {
        if (ProcessCpu now = CpuSeconds(station.Pid()); now.own >= 0)
            stationCpu = now;
        lines.Read(run, start);
        std::this_thread::sleep_for(kLook);
    }
    run.wallSeconds = SecondsOf(Clock::now() - start);
    lines.Read(run, start);
    const bool ended = station.WaitForExit(std::chrono::milliseconds(0)) != ChildProcess::kStillRunning;
    const double stationAndJobs = ChildrenCpuSeconds() - cpuBefore;
    run.stationCpuSeconds = stationCpu.own;
    run.jobsCpuSeconds = stationAndJobs - stationCpu.own;
    handsets.clear();
    run.handsetsCpuSeconds = ChildrenCpuSeconds() - cpuBefore - stationAndJobs;
    return ended;
}

bool Report(const char* what, const Run& run, size_t count)
{
    const double handsets = static_cast<double>(run.started);
    const double whole = run.stationCpuSeconds + run.jobsCpuSeconds + run.handsetsCpuSeconds;
    std::printf("%s: %d of %d completed (of %zu handsets started), wall %.2f s\n"
                "    CPU: station %.3f s (%.1f ms per handset), jobs %.2f s (%.0f ms per handset), simulated handsets "
                "%.2f s (%.0f ms per handset); the whole run's %.2f s (%.0f ms per handset, %.0f%% of two cores)\n",
                what, run.completed, run.handsets, run.started, run.wallSeconds, run.stationCpuSeconds,
                1000 * run.stationCpuSeconds / handsets, run.jobsCpuSeconds, 1000 * run.jobsCpuSeconds / handsets,
                run.handsetsCpuSeconds, 1000 * run.handsetsCpuSeconds / handsets, whole, 1000 * whole / handsets,
                100 * whole / (2 * run.wallSeconds));
    return run.started == count && run.completed == static_cast<int>(count);
}

// Each step's time in two runs, the median and the slowest handset's: the
// steps that make one run's wall time longer than the other's.
void ReportSteps(const char* firstName, const Run& first, const char* secondName, const Run& second)
{
    std::printf("    %-40s %-22s %-22s slowest: difference\n", "step (in the job's order), median/slowest", firstName,
                secondName);
    const std::vector<StepTimes::Step>& steps = first.steps.AnyHandset();
    const size_t handsets = second.steps.Durations(0, steps.empty() ? "" : steps[0].name).size();
    for (size_t i = 0; i < steps.size(); ++i) {
        const std::vector<double> one = first.steps.Durations(i, steps[i].name);
        const std::vector<double> other = second.steps.Durations(i, steps[i].name);
        if (one.empty() || other.empty())
            continue;
        std::printf("    %-40.40s %8.3f /%8.3f s   %8.3f /%8.3f s   %+8.3f s%s\n", steps[i].name.c_str(), one[one.size() / 2],
                    one.back(), other[other.size() / 2], other.back(), other.back() - one.back(),
                    other.size() < handsets ? " (not every handset)" : "");
    }
}

// The slowest block phase of the tray against its line's byte rate, and the
// median one's.
double ReportBlockPhases(const Run& tray, uint64_t requestBytes)
{
    const double lineRate = kLineRate / kBitsPerByte8N1;
    std::vector<std::pair<double, std::string>> ratios;
    for (const auto& [port, seconds] : tray.phases.Seconds())
        ratios.emplace_back(seconds > 0 ? static_cast<double>(requestBytes) / seconds / lineRate : 0, port);
    if (ratios.empty())
        return 0;
    std::sort(ratios.begin(), ratios.end());
    std::printf("    block phase against the line's %.0f bytes/s: slowest %.4f (%s), median %.4f, fastest %.4f\n", lineRate,
                ratios.front().first, ratios.front().second.c_str(), ratios[ratios.size() / 2].first, ratios.back().first);
    return ratios.front().first;
}

// Every handset holds descriptors in the station (its job's pipes) and
// here (its simulator's): as many as the system lets this user have.
void RaiseDescriptorLimit()
{
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
    getrlimit(RLIMIT_NOFILE, &limit);
    std::printf("descriptors: at most %llu open at once\n", static_cast<unsigned long long>(limit.rlim_cur));
}

struct Options {
    std::string cli = CORVANETOV_CLI_PATH;
    std::string before; // empty: no comparison
};

bool ParseOptions(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const bool valued = i + 1 < argc;
        if (valued && std::strcmp(argv[i], "--cli") == 0)
            options.cli = argv[++i];
        else if (valued && std::strcmp(argv[i], "--before") == 0)
            options.before = argv[++i];
        else
            return false;
    }
    return true;
}
} // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: %s [--cli CORVANETOV_CLI] [--before CORVANETOV_CLI_BEFORE_A_CHANGE]\n", argv[0]);
        return 2;
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // each figure as soon as it is measured
    RaiseDescriptorLimit();
    TempFolder folder;
    const std::string image = folder.File("image.bin");
    DownloadImages images;
    if (!ImageMaker::WriteCode(image, kImageSize, ImageMaker::kBootPartSize, ImageMaker::kVersion) || !images.LoadCodeImage(image)) {
        std::printf("cannot write the image in %s\n", folder.Path().c_str());
        return 1;
    }
    FlashPlan::Wire wire;
    FlashPlan(*DownloadOption::Of(kEmergencyOption), images).WireBytes(wire);
    std::printf("256 KiB two-part image: %llu block frame bytes with their escapes; the machine is shared, so these are "
                "one run's figures\n", static_cast<unsigned long long>(wire.requestBytes));

    Run alone, tray, many;
    if (!Flash(folder, image, {options.cli, 1, kLineRate, "1"}, alone) || !Report("(a) 1 handset at 115200 baud", alone, 1) ||
        !Flash(folder, image, {options.cli, kThrottled, kLineRate, "64"}, tray) ||
        !Report("(a) 64 handsets at 115200 baud", tray, kThrottled))
        return 1;
    ReportSteps("1 handset", alone, "64 handsets", tray);
    const double worst = ReportBlockPhases(tray, wire.requestBytes);
    const double wallRatio = tray.wallSeconds / alone.wallSeconds;
    std::printf("(a) slowest block phase ratio %.4f (budget at least %.2f); wall time of 64 against 1: %.3f (budget at most %.2f)\n",
                worst, kBlockBudget, wallRatio, kWallBudget);
    if (!options.before.empty()) {
        Run earlier;
        if (!Flash(folder, image, {options.before, kThrottled, kLineRate, "64-before"}, earlier) ||
            !Report("(a) 64 handsets at 115200 baud, the tool before", earlier, kThrottled))
            return 1;
        ReportSteps("64, the tool before", earlier, "64, the tool now", tray);
        std::printf("(a) wall time of 64 now against before: %.3f; station CPU %.3f, jobs' CPU %.3f\n",
                    tray.wallSeconds / earlier.wallSeconds, tray.stationCpuSeconds / earlier.stationCpuSeconds,
                    tray.jobsCpuSeconds / earlier.jobsCpuSeconds);
    }

    if (!Flash(folder, image, {options.cli, kUnthrottled, 0, "128"}, many))
        return 1;
    bool allDone = Report("(b) 128 handsets unthrottled", many, kUnthrottled);
    bool within = worst >= kBlockBudget && wallRatio <= kWallBudget && allDone;
    std::printf("%s\n", within ? "All within their budgets." : "NOT all within their budgets.");
    return 0;
}
