#include <gtest/gtest.h>

#include <atomic>

#include "ThreadlessChild.h"
#include "engine/OperationWorker.h"
#include "platform/Pacing.h"

using namespace std::chrono_literals;

TEST(OperationWorker, StopWakesALongPauseAndTheNextStartRunsUnstopped)
{
    double scale = Pacing::Instance().TimeScale();
    Pacing::Instance().SetTimeScale(1.0);
    std::atomic<bool> firstCompleted{true};
    std::atomic<bool> secondCompleted{false};
    OperationWorker worker;
    ASSERT_TRUE(worker.Start([&] { firstCompleted = Pacing::Instance().Sleep(150000); }));
    std::this_thread::sleep_for(20ms);
    EXPECT_TRUE(worker.Running());
    auto stoppedAt = std::chrono::steady_clock::now();
    worker.Stop();
    worker.Join();
    EXPECT_LT(std::chrono::steady_clock::now() - stoppedAt, 100ms);
    EXPECT_FALSE(firstCompleted);
    EXPECT_FALSE(worker.Running());

    ASSERT_TRUE(worker.Start([&] { secondCompleted = Pacing::Instance().Sleep(10); }));
    worker.Join();
    EXPECT_TRUE(secondCompleted) << "a new operation must not inherit the old stop";
    Pacing::Instance().SetTimeScale(scale);
}

TEST(OperationWorker, DestructionEndsARunningWorker)
{
    std::atomic<bool> ended{false};
    auto start = std::chrono::steady_clock::now();
    {
        OperationWorker worker;
        ASSERT_TRUE(worker.Start([&] {
            Pacing::Instance().Sleep(10000000);
            ended = true;
        }));
    }
    EXPECT_TRUE(ended);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
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
