// Frame codec and CRC throughput, with Boost.CRC's CRC-16/X-25 as the
// reference measured in the same run, and the receive thread's CPU while idle.
#include <benchmark/benchmark.h>
#include <boost/crc.hpp>

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <random>
#include <stdlib.h>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "comm/PortResolver.h"
#include "diag/Crc16X25.h"
#include "diag/DiagChannel.h"
#include "diag/FrameCodec.h"
#include "platform/Pacing.h"

using namespace corvanetov;

namespace {
constexpr size_t kBlockSize = 8199; // one flash block request

std::vector<uint8_t> RandomBlock()
{
    std::vector<uint8_t> block(kBlockSize);
    std::mt19937 random(7);
    for (auto& byte : block)
        byte = static_cast<uint8_t>(random());
    return block;
}

using BoostX25 = boost::crc_optimal<16, 0x1021, 0xFFFF, 0xFFFF, true, true>;

void BM_CrcOurs(benchmark::State& state)
{
    auto block = RandomBlock();
    for (auto _ : state)
        benchmark::DoNotOptimize(Crc16X25::Compute(block.data(), block.size()));
    state.SetBytesProcessed(state.iterations() * block.size());
}

void BM_CrcBoost(benchmark::State& state)
{
    auto block = RandomBlock();
    for (auto _ : state) {
        BoostX25 crc;
        crc.process_bytes(block.data(), block.size());
        benchmark::DoNotOptimize(crc.checksum());
    }
    state.SetBytesProcessed(state.iterations() * block.size());
}

void BM_FrameLarge(benchmark::State& state)
{
    auto block = RandomBlock();
    std::vector<uint8_t> out;
    for (auto _ : state) {
        FrameCodec::EncodeLargeFrame(block.data(), block.size(), out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * block.size());
}

void BM_Unframe(benchmark::State& state)
{
    auto block = RandomBlock();
    std::vector<uint8_t> frame;
    FrameCodec::EncodeLargeFrame(block.data(), block.size(), frame);
    for (auto _ : state)
        benchmark::DoNotOptimize(FrameCodec::Unescape(frame.data(), frame.size() - 1));
    state.SetBytesProcessed(state.iterations() * block.size());
}

BENCHMARK(BM_CrcOurs);
BENCHMARK(BM_CrcBoost);
BENCHMARK(BM_FrameLarge);
BENCHMARK(BM_Unframe);

// Keeps each benchmark's bytes per second, for the ratios printed at the end.
class RecordingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const auto& run : runs) {
            auto found = run.counters.find("bytes_per_second");
            if (found != run.counters.end())
                rates[run.benchmark_name()] = found->second.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> rates;
};

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// CPU the process uses while a channel is open on a pseudo-terminal that
// stays silent, or whose other end is closed at once (a pulled cable).
double ReceiveCpu(std::chrono::seconds interval, bool lineDies)
{
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        return -1;
    std::string slave = ptsname(master);
    PortResolver::Instance().Set([slave](uint8_t) { return slave; });
    DiagChannel channel;
    channel.CreateResponseEvent(comm::kResponseEventIndex);
    channel.Configure(1, comm::kDiagBaud, comm::kByteSize, comm::kOneStopBit, comm::kNoParity);
    channel.CreateIoEvents();
    if (!channel.Open())
        return -1;
    if (lineDies)
        close(master);
    double before = CpuSeconds();
    std::this_thread::sleep_for(interval);
    double used = CpuSeconds() - before;
    channel.Close();
    if (!lineDies)
        close(master);
    return used;
}
} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto& rates = reporter.rates;
    if (rates.count("BM_CrcOurs") && rates.count("BM_CrcBoost"))
        std::printf("\nCRC-16/X-25 speed, ours / Boost.CRC: %.2f (must be >= 1.00)\n", rates["BM_CrcOurs"] / rates["BM_CrcBoost"]);
    if (rates.count("BM_FrameLarge") && rates.count("BM_CrcOurs"))
        std::printf("Framing an 8199-byte block: %.1f MB/s (%.2f of the CRC alone)\n", rates["BM_FrameLarge"] / 1e6,
                    rates["BM_FrameLarge"] / rates["BM_CrcOurs"]);
    if (rates.count("BM_Unframe"))
        std::printf("Unframing an 8199-byte block: %.1f MB/s; a 115200 baud line carries 0.0115 MB/s\n", rates["BM_Unframe"] / 1e6);
    double idle = ReceiveCpu(std::chrono::seconds(3), false);
    std::printf("Receive thread CPU over 3 s idle: %.4f s (%.3f %% of one core)\n", idle, idle / 3 * 100);
    double dead = ReceiveCpu(std::chrono::seconds(3), true);
    std::printf("Receive thread CPU over 3 s on a dead line: %.4f s (%.3f %% of one core)\n", dead, dead / 3 * 100);
    return 0;
}
