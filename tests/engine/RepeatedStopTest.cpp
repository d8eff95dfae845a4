#include <gtest/gtest.h>

#include "EngineFixture.h"
#include "ProcessCounts.h"
#include "engine/ContextGuards.h"
#include "engine/OperationWorker.h"
#include "engine/PhoneInfoRead.h"

using namespace corvanetov;

namespace {
constexpr int kRuns = 1000;
// The identification opens its port three times, each after a short pause:
// the stop comes at one of them, a different one from run to run.
constexpr int kStopPoints = 3;
} // namespace

// A technician starts and stops an operation all day. Nothing may pile up:
// threads and descriptors here, memory in the address sanitizer's build,
// whose leak check runs when this program ends.
TEST_F(EngineTest, AThousandStartsAndStopsLeaveNothingBehind)
{
    const size_t threads = ProcessCounts::ThreadsBeforeAll();
    const size_t descriptors = ProcessCounts::Descriptors();
    OperationWorker worker;
    for (int run = 0; run < kRuns; ++run) {
        StopAt("sleep 100", 1 + run % kStopPoints);
        OperationRecorder reports;
        const ScopedTarget target(&reports);
        ASSERT_TRUE(worker.Start(&PhoneInfoRead::Run));
        worker.Join();
        ASSERT_FALSE(reports.Finished()) << "run " << run << " was stopped before its end: " << reports.EndText();
    }
    EXPECT_EQ(threads, ProcessCounts::Threads());
    EXPECT_EQ(descriptors, ProcessCounts::Descriptors());
}
