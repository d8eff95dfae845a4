// make soak: a thousand identifications in a row against the simulated
// handset, through the path the command line's `info` takes (a worker, the
// generic report target, the phone information read), in this process, so
// that what one run leaves behind adds up where it can be seen. Prints the
// failures, and the resident size, descriptors and threads of this process
// and of the simulator, after the first run and after the last.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdlib.h>
#include <string>

#include "ChildProcess.h"
#include "comm/PortResolver.h"
#include "engine/ContextGuards.h"
#include "engine/OperationContext.h"
#include "engine/OperationRecorder.h"
#include "engine/OperationWorker.h"
#include "engine/PhoneInfoRead.h"
#include "nv/NvDoc.h"

using namespace corvanetov;

namespace fs = std::filesystem;

namespace {
constexpr int kDefaultRuns = 1000;
constexpr uint8_t kPort = 1;
const char kLinkName[] = "usb-Corvane_VQX-B410_qxcdmdm-if02-port0";

struct Figures {
    long rssKb = 0;
    long descriptors = 0;
    long threads = 0;
};

long Entries(const std::string& folder)
{
    std::error_code error;
    return static_cast<long>(std::distance(fs::directory_iterator(folder, error), fs::directory_iterator()));
}

Figures Measure(const std::string& process)
{
    Figures figures;
    std::ifstream status("/proc/" + process + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            figures.rssKb = std::strtol(line.c_str() + 6, nullptr, 10);
    figures.descriptors = Entries("/proc/" + process + "/fd");
    figures.threads = Entries("/proc/" + process + "/task");
    return figures;
}

void Print(const char* who, const Figures& first, const Figures& last)
{
    std::printf("%-10s resident %6ld kB -> %6ld kB   descriptors %3ld -> %3ld   threads %2ld -> %2ld\n", who, first.rssKb, last.rssKb,
                first.descriptors, last.descriptors, first.threads, last.threads);
}

// One identification as `corvanetov-cli info` runs it; its end text when it
// failed, else nothing.
std::optional<std::string> Identify()
{
    NvDoc doc;
    OperationRecorder recorder(OperationRecorder::OnEnd::StopWorker);
    const ScopedNvDocument document(&doc);
    const ScopedTarget target(&recorder);
    OperationWorker worker;
    if (!worker.Start(&PhoneInfoRead::Run))
        return std::string("no worker thread");
    worker.Join();
    if (recorder.Succeeded())
        return std::nullopt;
    return recorder.EndText();
}

// The number of runs: the one argument, a whole number from 1 on.
std::optional<int> Runs(int argc, char** argv)
{
    if (argc == 1)
        return kDefaultRuns;
    const std::string text = argc == 2 ? argv[1] : "";
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos || std::stoi(text) == 0)
        return std::nullopt;
    return std::stoi(text);
}
} // namespace

int main(int argc, char** argv)
{
    const std::optional<int> given = Runs(argc, argv);
    if (!given) {
        std::fprintf(stderr, "usage: %s [RUNS]  (identifications in a row, 1 or more; %d when not given)\n", argv[0], kDefaultRuns);
        return 2;
    }
    const int runs = *given;
    char pattern[] = "/tmp/corvanetov-soak-XXXXXX";
    if (!mkdtemp(pattern))
        return EXIT_FAILURE;
    const std::string folder = pattern;
    fs::create_directories(folder + "/by-id");
    ChildProcess handset;
    handset.Start({VQXB410_SIM_PATH, "--by-id", folder + "/by-id", "--state", folder + "/handset.json"});
    const std::string link = folder + "/by-id/" + kLinkName;
    PortResolver::Instance().Set([link](uint8_t) { return link; });
    OperationContext::Instance().SetSelectedPort(kPort);
    const std::string sim = std::to_string(handset.Pid());

    int failures = 0;
    Figures toolFirst, simFirst;
    for (int run = 0; run < runs; ++run) {
        if (std::optional<std::string> error = Identify()) {
            ++failures;
            std::printf("run %d failed: %s\n", run + 1, error->c_str());
        }
        if (run == 0) {
            toolFirst = Measure("self");
            simFirst = Measure(sim);
        }
    }
    const Figures toolLast = Measure("self");
    const Figures simLast = Measure(sim);
    OperationContext::Instance().CloseChannel();
    handset.Stop();
    fs::remove_all(folder);

    std::printf("%d identifications, %d failures\n", runs, failures);
    std::printf("figures after the first run and after the last:\n");
    Print("tool", toolFirst, toolLast);
    Print("simulator", simFirst, simLast);
    bool grew = toolLast.descriptors > toolFirst.descriptors || simLast.descriptors > simFirst.descriptors ||
                toolLast.threads > toolFirst.threads;
    if (grew)
        std::printf("descriptors or threads grew\n");
    return failures == 0 && !grew ? EXIT_SUCCESS : EXIT_FAILURE;
}
