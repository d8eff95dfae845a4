#include <gtest/gtest.h>

#include <atomic>

#include "ThreadlessChild.h"
#include "engine/OperationWorker.h"
#include "platform/Pacing.h"

using namespace corvanetov;

namespace {
// Longer than any test may run: a pause of this length ends only by a stop.
constexpr uint32_t kEndlessMs = 0xFFFFFFFF;
} // namespace

TEST(OperationWorker, StopWakesALongPauseAndTheNextStartRunsUnstopped)
{
    std::atomic<bool> pausing{false};
    std::atomic<bool> firstCompleted{true};
    std::atomic<bool> secondCompleted{false};
    Pacing::Instance().SetObserver([&](Pacing::Pause, uint32_t ms) { pausing = ms == kEndlessMs; });
    OperationWorker worker;
    ASSERT_TRUE(worker.Start([&] { firstCompleted = Pacing::Instance().Sleep(kEndlessMs); }));
    while (!pausing)
        std::this_thread::yield();
    EXPECT_TRUE(worker.Running());
    worker.Stop();
    worker.Join();
    Pacing::Instance().SetObserver(nullptr);
    EXPECT_FALSE(firstCompleted) << "the pause ended by the stop";
    EXPECT_FALSE(worker.Running());

    ASSERT_TRUE(worker.Start([&] { secondCompleted = Pacing::Instance().Sleep(10); }));
    worker.Join();
    EXPECT_TRUE(secondCompleted) << "a new operation must not inherit the old stop";
}

TEST(OperationWorker, DestructionEndsARunningWorker)
{
    std::atomic<bool> ended{false};
    std::atomic<bool> completed{true};
    {
        OperationWorker worker;
        ASSERT_TRUE(worker.Start([&] {
            completed = Pacing::Instance().Sleep(kEndlessMs);
            ended = true;
        }));
    }
    EXPECT_TRUE(ended);
    EXPECT_FALSE(completed);
    Pacing::Instance().ClearStop();
}

TEST(OperationWorker, AStartWithoutAThreadFailsAndLeavesNothingBehind)
{
    EXPECT_TRUE(ThreadlessChild::Run([] {
        std::atomic<int> runs{0};
        OperationWorker worker;
        if (worker.Start([&] { ++runs; }) || worker.Running())
            return false;
        // Nothing half-started stands in the way of the next start.
        ThreadlessChild::AllowThreads();
        bool restarted = worker.Start([&] { ++runs; });
        worker.Join();
        return restarted && runs == 1;
    }));
}
