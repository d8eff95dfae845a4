#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class CliProgressLine;
class OperationRecorder;
class OperationWorker;

// corvanetov-cli: the engine's operations from a terminal or a script.
// Exit status 0 on success, 1 when the operation failed (its error text on
// standard error), 2 for a usage error, 130 when interrupted.
class CliApp {
public:
    static constexpr int kExitOk = 0;
    static constexpr int kExitFailed = 1;
    static constexpr int kExitUsage = 2;
    static constexpr int kExitInterrupted = 130;
    static constexpr int kProgressTickMs = 200;

    int Run(int argc, char** argv);

    // What the command families share.
    struct Options {
        std::string port;
        int toolType = 0;
        std::optional<std::string> msl;
        double timeScale = 0;
        std::string trace;
        bool json = false;
    };
    const Options& GetOptions() const { return m_options; }
    // The port to talk to: --port (COM number or device path), else the
    // listed handset, else the stored port. False with a message when none.
    bool SelectPort();
    // "<what> on COM1 (/dev/...)" on standard error, unless the output is JSON.
    void AnnouncePort(const char* what) const;
    // Runs body on the worker, the questions answered from the options or
    // the terminal, waits for it, and turns its end report into the exit
    // status; endText gets the end report's text. Any operation: its family
    // tells status from progress.
    int RunOperation(const std::function<void()>& body, std::string* endText = nullptr);

private:
    int Ports();
    int Info();
    void WaitShowingProgress(OperationWorker& worker, const OperationRecorder& recorder, CliProgressLine& progress) const;
    void PrintOpenFailure() const;
    void ApplyEnvironment() const;

    Options m_options;
};
