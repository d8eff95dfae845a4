// The station, against simulated handsets, through corvanetov-cli station:
//  (a) 64 handsets on lines throttled to 115200 baud 8N1, flashed at once:
//      each handset's block phase against its line's byte rate (budget at
//      least 0.97), and the wall time of the 64 against one handset alone
//      (budget at most 1.10);
//  (b) 128 handsets on unthrottled lines: every one completes.
// For each run the station's own CPU time (its process alone) and the whole
// run's (the station, its jobs and the simulated handsets), per handset.
// Every figure is measured in this one run. Exits 1 only when something
// could not be measured.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
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
constexpr auto kLook = std::chrono::milliseconds(5);
constexpr auto kGiveUp = std::chrono::minutes(15);

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
            handset.seconds += std::chrono::duration<double>(at - std::max(handset.passStart, handset.lastAck)).count();
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

struct Run {
    double wallSeconds = 0;
    double stationCpuSeconds = 0;
    double wholeCpuSeconds = 0;
    size_t started = 0; // handsets whose simulator started
    int completed = 0;
    int handsets = 0;
    BlockPhases phases;
};

// The station process's own CPU seconds (user and system), not its children's.
double CpuSeconds(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    size_t afterName = text.rfind(')');
    if (afterName == std::string::npos)
        return -1;
    std::istringstream fields(text.substr(afterName + 2));
    std::string field;
    unsigned long long user = 0, system = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14)
            user = std::stoull(field);
        if (i == 15)
            system = std::stoull(field);
    }
    return static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
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

// Flashes the image on `count` handsets at once through the station, the
// lines' rate limited to lineRate (0: none), and reads its lines as they come.
bool FlashOnce(const TempFolder& folder, const std::string& image, size_t count, uint32_t lineRate, Run& run)
{
    // A port table of its own: every run's handsets are new ones.
    const std::string name = std::to_string(count) + "-" + std::to_string(lineRate);
    const std::string byId = folder.File("by-id-" + name);
    std::vector<std::unique_ptr<ChildProcess>> handsets;
    for (size_t i = 0; i < count; ++i) {
        handsets.push_back(std::make_unique<ChildProcess>());
        std::vector<std::string> argv = {VQXB410_SIM_PATH, "--emergency", "--by-id", byId, "--by-id-name",
                                         "usb-Corvane_VQX-B410_" + std::to_string(i) + "_qxcdmdm-if02-port0"};
        if (lineRate)
            argv.insert(argv.end(), {"--line-rate", std::to_string(lineRate)});
        // A system limit (the simulator's inotify instances, ptys) ends the
        // tray where it is reached: the run goes on with those started.
        if (handsets.back()->Start(argv).empty()) {
            handsets.pop_back();
            std::printf("only %zu of %zu handsets started (inotify instances per user: %s)\n", i, count,
                        FileText("/proc/sys/fs/inotify/max_user_instances").c_str());
            break;
        }
    }
    run.started = handsets.size();
    const std::string output = byId + ".out";
    ChildProcess station;
    auto start = Clock::now();
    station.StartLogged({CORVANETOV_CLI_PATH, "station", "flash", "--option", std::to_string(kEmergencyOption), "--code", image,
                         "--once", "--json"},
                        {"CORVANETOV_SERIAL_BY_ID=" + byId, "XDG_CONFIG_HOME=" + folder.File("config-" + name),
                         "CORVANETOV_TIME_SCALE=1"},
                        output);
    std::ifstream in(output);
    std::string pending;
    auto readLines = [&] {
        auto at = Clock::now();
        in.clear();
        for (std::string line; std::getline(in, line);) {
            if (in.eof()) { // a line not yet ended: read it whole next time
                pending += line;
                break;
            }
            line = pending + line;
            pending.clear();
            if (line.empty() || line.front() != '{')
                continue;
            nlohmann::json parsed = nlohmann::json::parse(line, nullptr, false);
            run.phases.Take(parsed, at);
            if (parsed.value("station", "") == "summary") {
                run.completed = parsed.value("completed", 0);
                run.handsets = parsed.value("handsets", 0);
            }
        }
    };
    while (station.WaitForExit(std::chrono::milliseconds(0)) == ChildProcess::kStillRunning && Clock::now() - start < kGiveUp) {
        double cpu = CpuSeconds(station.Pid());
        run.stationCpuSeconds = std::max(run.stationCpuSeconds, cpu);
        readLines();
        std::this_thread::sleep_for(kLook);
    }
    run.wallSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    readLines();
    return station.WaitForExit(std::chrono::milliseconds(0)) != ChildProcess::kStillRunning;
}

// FlashOnce, and the CPU time of the whole run.
bool Flash(const TempFolder& folder, const std::string& image, size_t count, uint32_t lineRate, Run& run)
{
    const double cpuBefore = ChildrenCpuSeconds();
    const bool measured = FlashOnce(folder, image, count, lineRate, run);
    // The handsets have ended with the run: its children's time is all in.
    run.wholeCpuSeconds = ChildrenCpuSeconds() - cpuBefore;
    return measured;
}

bool Report(const char* what, const Run& run, size_t count)
{
    const double handsets = static_cast<double>(run.started);
    std::printf("%s: %d of %d completed (of %zu handsets started), wall %.2f s, station CPU %.3f s (%.1f ms per handset), "
                "whole run's CPU (station, jobs, handsets) %.2f s (%.0f ms per handset)\n",
                what, run.completed, run.handsets, run.started, run.wallSeconds, run.stationCpuSeconds,
                1000 * run.stationCpuSeconds / handsets, run.wholeCpuSeconds, 1000 * run.wholeCpuSeconds / handsets);
    return run.started == count && run.completed == static_cast<int>(count);
}
} // namespace

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

int main()
{
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
    const double lineRate = kLineRate / kBitsPerByte8N1;
    std::printf("256 KiB two-part image: %llu block frame bytes with their escapes; the machine is shared, so these are "
                "one run's figures\n", static_cast<unsigned long long>(wire.requestBytes));

    Run alone, tray, many;
    if (!Flash(folder, image, 1, kLineRate, alone) || !Report("(a) 1 handset at 115200 baud", alone, 1) ||
        !Flash(folder, image, kThrottled, kLineRate, tray) || !Report("(a) 64 handsets at 115200 baud", tray, kThrottled))
        return 1;
    double worst = 0;
    bool first = true;
    for (const auto& [port, seconds] : tray.phases.Seconds()) {
        double ratio = seconds > 0 ? wire.requestBytes / seconds / lineRate : 0;
        std::printf("    %s: block phase %.2f s, ratio %.4f of the line's %.0f bytes/s\n", port.c_str(), seconds, ratio, lineRate);
        worst = first ? ratio : std::min(worst, ratio);
        first = false;
    }
    double wallRatio = tray.wallSeconds / alone.wallSeconds;
    std::printf("(a) slowest block phase ratio %.4f (budget at least %.2f); wall time of 64 against 1: %.3f (budget at most %.2f)\n",
                worst, kBlockBudget, wallRatio, kWallBudget);

    if (!Flash(folder, image, kUnthrottled, 0, many))
        return 1;
    bool allDone = Report("(b) 128 handsets unthrottled", many, kUnthrottled);
    bool within = worst >= kBlockBudget && wallRatio <= kWallBudget && allDone;
    std::printf("%s\n", within ? "All within their budgets." : "NOT all within their budgets.");
    return 0;
}
