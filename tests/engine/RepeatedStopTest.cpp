#include <gtest/gtest.h>

#include <filesystem>

#include "EngineFixture.h"
#include "engine/ContextGuards.h"
#include "engine/OperationWorker.h"
#include "engine/PhoneInfoRead.h"

using namespace corvanetov;

namespace {
constexpr int kRuns = 1000;
// The identification opens its port three times, each after a short pause:
// the stop comes at one of them, a different one from run to run.
constexpr int kStopPoints = 3;

size_t Entries(const char* folder)
{
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()));
}
} // namespace

// A technician starts and stops an operation all day. Nothing may pile up:
// threads and descriptors here, memory in the address sanitizer's build,
// whose leak check runs when this program ends.
TEST_F(EngineTest, AThousandStartsAndStopsLeaveNothingBehind)
{
    const size_t threads = Entries("/proc/self/task");
    const size_t descriptors = Entries("/proc/self/fd");
    OperationWorker worker;
    for (int run = 0; run < kRuns; ++run) {
        StopAt("sleep 100", 1 + run % kStopPoints);
        OperationRecorder reports;
        const ScopedTarget target(&reports);
        ASSERT_TRUE(worker.Start(&PhoneInfoRead::Run));
        worker.Join();
        ASSERT_FALSE(reports.Finished()) << "run " << run << " was stopped before its end: " << reports.EndText();
    }
    EXPECT_EQ(threads, Entries("/proc/self/task"));
    EXPECT_EQ(descriptors, Entries("/proc/self/fd"));
}
