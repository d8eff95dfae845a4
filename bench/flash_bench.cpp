// The software download's block phase, against the simulated handset:
//  (a) on a line throttled to 115200 baud 8N1, against the line's byte rate
//      (the blocks' frames counted with their escapes); budget at least 0.97;
//  (b) on an unthrottled pseudo-terminal, against writing the same frame
//      bytes into the same kind of pseudo-terminal and reading them back out
//      of its other end, one block at a time; budget at least 0.5;
//  (c) the command line's resident size while it flashes a 16 MiB image,
//      against its size when the download began; budget 2 MB.
// Every figure is measured in this one run. Exits 1 only when something
// could not be measured.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "samples/ImageMaker.h"
#include "PtyPair.h"
#include "TempFolder.h"
#include "comm/CommConstants.h"
#include "comm/PortResolver.h"
#include "comm/SerialDevice.h"
#include "diag/DiagConstants.h"
#include "diag/FlashRequests.h"
#include "diag/FrameCodec.h"
#include "engine/FlashPlan.h"
#include "engine/OperationContext.h"
#include "engine/OperationRecorder.h"
#include "engine/ContextGuards.h"
#include "engine/SwDownloadWorker.h"
#include "platform/Pacing.h"

using namespace corvanetov;

namespace {
using Clock = std::chrono::steady_clock;
constexpr uint64_t kMiB = 1 << 20;
constexpr uint64_t kTwoPartSize = kMiB;
constexpr uint64_t kLargeSize = 16 * kMiB;
constexpr uint32_t kLineRate = 115200;
constexpr double kBitsPerByte8N1 = 10.0;
constexpr double kThrottledBudget = 0.97;
constexpr double kUnthrottledBudget = 0.5;
constexpr double kResidentBudgetBytes = 2e6;
constexpr int kEmergencyOption = 3;
// The machine is shared: each side of (b) is the best of a few rounds.
constexpr int kRounds = 3;
// Where only the blocks count, the download may have short pauses: the
// block phase has none, and the block wait still has room for a busy
// machine.
constexpr double kShortPauses = 0.1;
constexpr auto kResidentSampling = std::chrono::milliseconds(20);
constexpr auto kCliGiveUp = std::chrono::minutes(10);

// The time from each pass's first block to the acknowledgement of its last,
// summed over the passes. Stops the download once the last block is taken:
// what follows is only pauses.
class BlockPhase {
public:
    void OnReport(const OperationMessage& message, OperationFamily::Role role)
    {
        if (role != OperationFamily::Role::Progress || message.bytesTotal == 0)
            return;
        auto now = Clock::now();
        if (message.value == 0 && message.bytesDone == m_lastBytes) {
            m_passStart = now; // a pass begins: its first block goes next
        } else if (message.bytesDone > m_lastBytes) {
            m_seconds += std::chrono::duration<double>(now - std::max(m_passStart, m_lastAck)).count();
            m_lastAck = now;
            m_lastBytes = message.bytesDone;
        }
        if (message.bytesDone == message.bytesTotal)
            Pacing::Instance().RequestStop();
    }
    double Seconds() const { return m_seconds; }
    uint64_t Bytes() const { return m_lastBytes; }

private:
    Clock::time_point m_passStart{};
    Clock::time_point m_lastAck{};
    uint64_t m_lastBytes = 0;
    double m_seconds = 0;
};

// The block phase's seconds of an emergency download of the image at path,
// in this process, against a handset started with these options.
bool TimeBlockPhase(const std::string& image, const std::vector<std::string>& handsetOptions, double timeScale, double& seconds)
{
    std::vector<std::string> argv = {VQXB410_SIM_PATH, "--emergency"};
    argv.insert(argv.end(), handsetOptions.begin(), handsetOptions.end());
    ChildProcess handset;
    std::string path = handset.Start(argv, {"CORVANETOV_TIME_SCALE=" + std::to_string(timeScale)});
    PortResolver::Instance().Set([path](uint8_t) { return path; });
    Pacing::Instance().SetTimeScale(timeScale);
    Pacing::Instance().ClearStop();
    BlockPhase phase;
    OperationRecorder recorder(OperationRecorder::OnEnd::StopWorker,
                               [&phase](const OperationMessage& message, OperationFamily::Role role) { phase.OnReport(message, role); });
    auto& context = OperationContext::Instance();
    context.SetSelectedPort(1);
    {
        const ScopedTarget target(&recorder);
        SwDownloadWorker::Run({kEmergencyOption, image, ""});
    }
    context.CloseChannel();
    Pacing::Instance().ClearStop();
    PortResolver::Instance().Set(nullptr);
    if (recorder.Finished()) {
        std::printf("the download ended before its last block: %s\n", recorder.EndText().c_str());
        return false;
    }
    seconds = phase.Seconds();
    return seconds > 0;
}

// Every block frame of the download, as the tool sends it.
std::vector<std::vector<uint8_t>> BlockFrames(const DownloadImages& images)
{
    std::vector<std::vector<uint8_t>> frames;
    std::vector<uint8_t> block(diag::kFlashBlockSize), request(diag::kWriteBlockRequestSize);
    FlashPlan plan(*DownloadOption::Of(kEmergencyOption), images);
    for (const FlashPass& pass : plan.Passes()) {
        for (uint32_t k = 0; k < pass.blocks; ++k) {
            pass.ReadBlock(k, block.data());
            FlashRequests::BuildWriteBlock(pass.BlockAddress(k), block.data(), request.data());
            frames.emplace_back();
            FrameCodec::EncodeLargeFrame(request.data(), request.size(), frames.back());
        }
    }
    return frames;
}

// The same frames written into a pseudo-terminal the way the channel opens
// one, and read back out of its other end, one at a time: the fastest a
// block phase could go on this machine. The best of a few rounds.
double ReferenceSeconds(const std::vector<std::vector<uint8_t>>& frames)
{
    double best = 0;
    for (int round = 0; round < kRounds; ++round) {
        PtyPair pty;
        SerialDevice device;
        if (!device.OpenSerial(pty.SlavePath()) ||
            !device.Configure({comm::kDiagBaud, comm::kByteSize, comm::kNoParity, comm::kOneStopBit}))
            return 0;
        auto start = Clock::now();
        for (const auto& frame : frames) {
            const auto deadline = Clock::now() + std::chrono::milliseconds(comm::kWriteTimeoutMs);
            device.Write(frame.data(), frame.size(), deadline, nullptr) && device.Drain(deadline, nullptr);
            if (pty.ReadUpTo(frame.size(), std::chrono::seconds(5)).size() != frame.size())
                return 0;
        }
        double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        best = round == 0 ? seconds : std::min(best, seconds);
    }
    return best;
}

long ResidentKib(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

bool FileHas(const std::string& path, const std::string& text)
{
    std::ifstream in(path);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return all.find(text) != std::string::npos;
}

// The command line's resident size when its download began (its first
// block is under way) and the most it reached afterwards, in KiB.
bool ResidentSizes(const TempFolder& folder, const std::string& image, long& atStart, long& most)
{
    std::string scale = "CORVANETOV_TIME_SCALE=" + std::to_string(kShortPauses);
    ChildProcess handset;
    std::string byId = folder.File("by-id");
    handset.Start({VQXB410_SIM_PATH, "--emergency", "--by-id", byId}, {scale});
    std::vector<std::string> environment = {scale, "CORVANETOV_SERIAL_BY_ID=" + byId, "XDG_CONFIG_HOME=" + folder.File("config")};
    ChildProcess cli;
    std::string log = folder.File("cli.log");
    cli.StartLogged({CORVANETOV_CLI_PATH, "flash", "--option", std::to_string(kEmergencyOption), "--code", image}, environment, log);
    atStart = most = -1;
    auto giveUp = Clock::now() + kCliGiveUp;
    while (cli.WaitForExit(std::chrono::milliseconds(0)) == ChildProcess::kStillRunning && Clock::now() < giveUp) {
        long now = ResidentKib(cli.Pid());
        if (atStart < 0 && FileHas(log, "Flash Programming of Boot"))
            atStart = now;
        if (atStart >= 0)
            most = std::max(most, now);
        std::this_thread::sleep_for(kResidentSampling);
    }
    int exit = cli.WaitForExit(std::chrono::milliseconds(0));
    if (exit != 0) {
        std::printf("the command line's download ended with %d\n", exit);
        return false;
    }
    return atStart > 0 && most > 0;
}
} // namespace

int main()
{
    TempFolder folder;
    std::string twoPart = folder.File("two-part.bin");
    std::string large = folder.File("large.bin");
    DownloadImages images;
    if (!ImageMaker::WriteCode(twoPart, kTwoPartSize, ImageMaker::kBootPartSize, ImageMaker::kVersion) ||
        !ImageMaker::WriteCode(large, kLargeSize, ImageMaker::kBootPartSize, ImageMaker::kVersion) || !images.LoadCodeImage(twoPart)) {
        std::printf("cannot write the images in %s\n", folder.Path().c_str());
        return 1;
    }
    FlashPlan::Wire wire;
    FlashPlan(*DownloadOption::Of(kEmergencyOption), images).WireBytes(wire);
    std::printf("1 MiB two-part image: %llu block frame bytes with their escapes\n",
                static_cast<unsigned long long>(wire.requestBytes));

    double throttled = 0;
    if (!TimeBlockPhase(twoPart, {"--line-rate", std::to_string(kLineRate)}, 1.0, throttled))
        return 1;
    double lineRate = kLineRate / kBitsPerByte8N1;
    double throttledRatio = wire.requestBytes / throttled / lineRate;
    std::printf("(a) 115200 baud: block phase %.2f s, %.0f bytes/s of the line's %.0f: ratio %.4f (budget %.2f)\n", throttled,
                wire.requestBytes / throttled, lineRate, throttledRatio, kThrottledBudget);

    double unthrottled = 0;
    for (int round = 0; round < kRounds; ++round) {
        double seconds = 0;
        if (!TimeBlockPhase(twoPart, {}, kShortPauses, seconds))
            return 1;
        unthrottled = round == 0 ? seconds : std::min(unthrottled, seconds);
    }
    double reference = ReferenceSeconds(BlockFrames(images));
    if (reference <= 0) {
        std::printf("the pseudo-terminal reference failed\n");
        return 1;
    }
    double unthrottledRatio = reference / unthrottled;
    std::printf("(b) unthrottled: block phase %.3f s (%.1f MB/s), write and read-back %.3f s (%.1f MB/s): ratio %.3f (budget %.2f)\n",
                unthrottled, wire.requestBytes / unthrottled / 1e6, reference, wire.requestBytes / reference / 1e6, unthrottledRatio,
                kUnthrottledBudget);

    long atStart = 0, most = 0;
    if (!ResidentSizes(folder, large, atStart, most))
        return 1;
    double grown = (most - atStart) * 1024.0;
    std::printf("(c) 16 MiB image: command line resident %ld KiB when the download began, at most %ld KiB: grew %.0f bytes, "
                "ratio %.3f of the %.0f-byte budget\n",
                atStart, most, grown, grown / kResidentBudgetBytes, kResidentBudgetBytes);
    bool within = throttledRatio >= kThrottledBudget && unthrottledRatio >= kUnthrottledBudget && grown <= kResidentBudgetBytes;
    std::printf("%s\n", within ? "All three within their budgets." : "NOT all within their budgets.");
    return 0;
}
