#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace corvanetov {

// The one worker thread of a view or of the command line. Stopping is
// immediate but cooperative: Stop wakes every pause and wait of the engine,
// after which the worker only closes its channel and ends. The record is
// released exactly once: by the next Start or by the destructor.
class OperationWorker {
public:
    OperationWorker() = default;
    OperationWorker(const OperationWorker&) = delete;
    OperationWorker& operator=(const OperationWorker&) = delete;
    ~OperationWorker();

    // Starts body on a new thread once any earlier worker has ended. False
    // when the system gives no thread (the user's or the system's limit):
    // then nothing runs and nothing is left to undo.
    [[nodiscard]] bool Start(std::function<void()> body);
    // Asks the worker to end now; does not wait for it.
    void Stop();
    // Waits until the worker has ended (never from a thread it reports to).
    void Join();
    bool Running() const { return m_running; }
    // Waits up to `most` for the worker to end; whether it has. A front end
    // that shows progress between its waits learns of the end at once.
    bool WaitForEnd(std::chrono::milliseconds most);

private:
    std::thread m_thread;
    std::atomic<bool> m_running{false};
    std::mutex m_endMutex;
    std::condition_variable m_ended;
};

} // namespace corvanetov
