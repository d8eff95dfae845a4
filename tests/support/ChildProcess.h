#pragma once

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

namespace corvanetov {

// A program run by a test: either to completion with its output captured
// (Run), or in the background until the object goes (Start), such as the
// simulated handset.
class ChildProcess {
public:
    struct Result {
        int exitCode = -1;
        std::string out;
        std::string err;
    };

    // Runs argv with extra "NAME=value" environment entries (they replace
    // the test's own of the same name) and the file at inputPath as its
    // standard input; a program still running after the time-out is killed
    // (exit code -1).
    static Result Run(const std::vector<std::string>& argv, const std::vector<std::string>& environment = {},
                      std::chrono::milliseconds timeout = std::chrono::seconds(60),
                      const std::string& inputPath = "/dev/null");

    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess();

    // Starts argv in the background and returns its first line of output.
    std::string Start(const std::vector<std::string>& argv, const std::vector<std::string>& environment = {});
    // Starts argv in the background with its standard output and error
    // going to the file at logPath.
    void StartLogged(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                     const std::string& logPath);
    // Waits up to the time-out for the program started with StartLogged to
    // end: its exit code, 128 + the signal's number when a signal ended it
    // (as a shell says it), or kStillRunning. Once ended, it keeps saying so.
    int WaitForExit(std::chrono::milliseconds timeout);
    static constexpr int kStillRunning = -1;
    // SIGTERM, then waits; returns the exit code.
    int Stop();
    pid_t Pid() const { return m_pid; }

private:
    pid_t m_pid = -1;
    int m_out = -1;
    int m_exitCode = kStillRunning;
};

} // namespace corvanetov
