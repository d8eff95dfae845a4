// The simulated handset's side of the line: what the tool sends, split into
// frames, AT lines and boot commands by the handset's frame reader and
// answered by the handset in its normal and its download mode. The fuzzer
// chooses, step by step, raw bytes for the line or a request that is framed
// as the tool frames it (a check sequence is not for a fuzzer to guess), and
// the chunks the line delivers.
#include <cstdint>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

#include "FuzzBytes.h"
#include "FuzzCheck.h"
#include "diag/FrameCodec.h"
#include "sim/FaultPlan.h"
#include "sim/SimFrameReader.h"
#include "sim/SimHandset.h"
#include "sim/SimLog.h"
#include "sim/SimState.h"

using namespace corvanetov;

namespace {
enum Step : uint8_t { kRawBytes, kFrame, kFlaggedFrame, kLargeFrame, kSteps };

std::vector<uint8_t> LineBytes(FuzzBytes& in)
{
    uint8_t step = in.TakeByte() % kSteps;
    std::vector<uint8_t> request = in.Take(in.TakeU16());
    std::vector<uint8_t> line;
    switch (step) {
    case kFrame:
    case kFlaggedFrame:
        FrameCodec::EncodeFrame(request.data(), request.size(), step == kFlaggedFrame, false, line);
        return line;
    case kLargeFrame:
        FrameCodec::EncodeLargeFrame(request.data(), request.size(), line);
        return line;
    default:
        return request;
    }
}

// The line hands the bytes over in chunks of 1 to 256 bytes.
void Deliver(FuzzBytes& in, const std::vector<uint8_t>& line, SimFrameReader& reader, SimHandset& handset)
{
    for (size_t at = 0; at < line.size();) {
        size_t count = std::min<size_t>(in.TakeByte() + 1u, line.size() - at);
        std::vector<SimInput> inputs;
        reader.Feed(line.data() + at, count, inputs);
        at += count;
        for (const SimInput& input : inputs) {
            SimHandset::Reaction reaction = handset.OnInput(input);
            FuzzCheck(reaction.bytes.empty() || !reaction.hangUp, "a pulled cable sends nothing");
        }
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Every request is logged as the simulator logs it, and the log's
    // lines are made as the simulator makes them. The log is a file in
    // memory, emptied for every input: the simulator appends only to a
    // regular file.
    static const int sink = ::memfd_create("sim-request-log", MFD_CLOEXEC);
    static SimLog log;
    static const bool logOpen = sink >= 0 && log.Open("/proc/self/fd/" + std::to_string(sink));
    FuzzCheck(logOpen, "the request log opens");
    FuzzCheck(::ftruncate(sink, 0) == 0, "the request log empties");

    FuzzBytes in(data, size);
    SimHandsetOptions options;
    options.resetMs = 0;
    options.eraseMs = 0;
    options.emergency = in.TakeByte() & 1;
    SimState state;
    FaultPlan faults;
    SimHandset handset(state, faults, log, options);
    SimFrameReader reader;
    while (!in.Empty())
        Deliver(in, LineBytes(in), reader, handset);
    handset.Finish();
    return 0;
}
