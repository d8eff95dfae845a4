#pragma once

#include <gtest/gtest.h>

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

    std::string m_folder;
    std::string m_devicePath;
    ChildProcess m_handset;
    int m_handsets = 0;
};
