#pragma once

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

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

    // Runs argv with extra "NAME=value" environment entries; a program still
    // running after the time-out is killed (exit code -1).
    static Result Run(const std::vector<std::string>& argv, const std::vector<std::string>& environment = {},
                      std::chrono::milliseconds timeout = std::chrono::seconds(60));

    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess();

    // Starts argv in the background and returns its first line of output.
    std::string Start(const std::vector<std::string>& argv, const std::vector<std::string>& environment = {});
    // SIGTERM, then waits; returns the exit code.
    int Stop();
    pid_t Pid() const { return m_pid; }

private:
    pid_t m_pid = -1;
    int m_out = -1;
};
