#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <new>
#include <pwd.h>
#include <system_error>
#include <unistd.h>

#include "PtyPair.h"
#include "ThreadlessChild.h"
#include "comm/PortResolver.h"
#include "comm/SerialDevice.h"
#include "engine/EngineConstants.h"
#include "engine/OperationContext.h"
#include "engine/OperationFrame.h"
#include "engine/OperationRecorder.h"
#include "engine/OperationWorker.h"
#include "engine/PhoneInfoRead.h"
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

// The command line shows progress between its waits for the worker: it
// learns of the end as it comes, not at its next look (a job's result came
// up to 200 ms late).
TEST(OperationWorker, WaitForEndReturnsAsTheWorkerEnds)
{
    using Clock = std::chrono::steady_clock;
    OperationWorker worker;
    ASSERT_TRUE(worker.Start([] { Pacing::Instance().Sleep(kEndlessMs); }));
    EXPECT_FALSE(worker.WaitForEnd(std::chrono::milliseconds(20))) << "still running";
    const Clock::time_point stopped = Clock::now();
    worker.Stop();
    EXPECT_TRUE(worker.WaitForEnd(std::chrono::minutes(10)));
    EXPECT_LT(Clock::now() - stopped, std::chrono::seconds(10)) << "woken by the end, not by the time-out";
    EXPECT_TRUE(worker.WaitForEnd(std::chrono::milliseconds(0))) << "and it stays ended";
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

namespace {
constexpr uint8_t kLinePort = 7;

// What an operation that an exception ended left behind.
struct Aftermath {
    bool ended = false;
    bool failed = false;
    std::string text;
    bool portFree = false;
};

// Runs body on a worker, with its reports recorded and COM7 on the line.
Aftermath RunOnWorker(const PtyPair& line, const std::function<void()>& body)
{
    auto& context = OperationContext::Instance();
    const std::string path = line.SlavePath();
    PortResolver::Instance().Set([path](uint8_t port) { return port == kLinePort ? path : std::string(); });
    OperationRecorder recorder;
    context.SetTarget(&recorder);
    context.SetSelectedPort(kLinePort);
    Aftermath after;
    OperationWorker worker;
    if (worker.Start(body)) {
        worker.Join();
        after.ended = recorder.Finished();
        after.failed = after.ended && !recorder.Succeeded();
        after.text = recorder.EndText();
        SerialDevice next;
        after.portFree = next.OpenSerial(path);
    }
    context.SetTarget(nullptr);
    PortResolver::Instance().Set(nullptr);
    return after;
}

// Programming that opens the handset's port and then throws.
template <class Thrown>
std::function<void()> ThrowsOnceThePortIsOpen(Thrown thrown)
{
    return [thrown] {
        detail::OperationFrame frame(families::kNam, "testing it");
        if (frame.InitComPort())
            throw thrown;
    };
}

bool Matches(const Aftermath& after, const std::string& text)
{
    if (after.ended && after.failed && after.text == text && after.portFree)
        return true;
    std::fprintf(stderr, "ended %d, failed %d, port free %d, text \"%s\", expected \"%s\"\n", after.ended, after.failed,
                 after.portFree, after.text.c_str(), text.c_str());
    return false;
}
} // namespace

// An exception that escapes an operation ends the operation, not the
// process: the end report is a failure that says why, and the port is free
// for the next opener.
TEST(OperationWorker, AnEscapingExceptionEndsTheOperationAsAFailureWithItsPortFree)
{
    PtyPair line;
    const passwd* nobody = ::getpwnam("nobody");
    ASSERT_TRUE(nobody);
    // The starved child runs as nobody when the test runs as root.
    ASSERT_EQ(0, ::geteuid() == 0 ? ::chown(line.SlavePath().c_str(), nobody->pw_uid, static_cast<gid_t>(-1)) : 0);
    const std::string fault = engine::kErrUnexpectedFault;

    // The channel's receive thread is refused: the process is at its limit.
    EXPECT_TRUE(ThreadlessChild::Run([&] {
        ThreadlessChild::AllowThreads();
        return Matches(RunOnWorker(line,
                                   [] {
                                       ThreadlessChild::RefuseThreads();
                                       PhoneInfoRead::Run();
                                   }),
                       fault + std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again)).what());
    }));

    struct Case {
        const char* name;
        std::function<void()> body;
        std::string text;
    };
    const Case cases[] = {
        {"out of memory", ThrowsOnceThePortIsOpen(std::bad_alloc()), fault + std::bad_alloc().what()},
        {"a refused system call", ThrowsOnceThePortIsOpen(std::system_error(EIO, std::generic_category(), "read")),
         fault + std::system_error(EIO, std::generic_category(), "read").what()},
        {"something that is no exception", ThrowsOnceThePortIsOpen(7), fault + engine::kUnknownFault},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(Matches(RunOnWorker(line, c.body), c.text));
        EXPECT_EQ(c.text, OperationContext::Instance().ErrorText());
    }

    // An operation that ended as usual leaves nothing for the boundary.
    const Aftermath usual = RunOnWorker(line, [] {
        detail::OperationFrame frame(families::kNam, "testing it");
        frame.Fail("Error in reading NAM");
    });
    EXPECT_TRUE(Matches(usual, "Error in reading NAM"));
}
