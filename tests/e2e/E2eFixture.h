#pragma once

#include <gtest/gtest.h>

#include <functional>

#include <string>
#include <vector>

#include "ChildProcess.h"

// A simulated handset on a pseudo-terminal, listed in a by-id folder of its
// own, and a settings store of its own, for every test.
class E2eFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the simulator with these extra options; returns its device path.
    std::string StartHandset(const std::vector<std::string>& options = {});
    // Runs corvanetov-cli with the test's environment.
    ChildProcess::Result Cli(const std::vector<std::string>& arguments);
    std::vector<std::string> Environment() const;
    // The simulator's request log, one JSON object a line.
    std::vector<std::string> LoggedRequests() const;
    // How many requests of this command (as the log names it) the simulator read.
    size_t Requests(const std::string& command) const;
    // The simulator logs a request once it has read it, which can be well
    // after the tool has moved on when the tool does not wait for an answer
    // (a reset before closing the port). False if `count` requests of this
    // command have not arrived in a time that only a lost request explains.
    bool AwaitRequests(const std::string& command, size_t count) const;
    // How many events of this name (as the log names them) the simulator logged.
    size_t Events(const std::string& name) const;
    bool AwaitEvents(const std::string& name, size_t count) const;

    // Until count() reaches atLeast, or a time only a lost request explains.
    static bool AwaitCount(const std::function<size_t()>& count, size_t atLeast);

    std::string m_folder;
    std::string m_devicePath;
    ChildProcess m_handset;
    int m_handsets = 0;
};
