#pragma once

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>
#include <vector>

#include "ChildProcess.h"

namespace corvanetov {

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
    // How many requests of this command (as the log names it) the simulator
    // read; with a detail, only those whose log line holds it ("\"mode\":2").
    size_t Requests(const std::string& command, const std::string& detail = {}) const;
    // The simulator logs a request once it has read it, which can be well
    // after the tool has moved on when the tool does not wait for an answer
    // (a reset before closing the port). False if `count` requests of this
    // command have not arrived in a time that only a lost request explains.
    bool AwaitRequests(const std::string& command, size_t count, const std::string& detail = {}) const;
    // The handset's saved state (its NV items under "nv"), as JSON text.
    std::string HandsetState() const;
    // The service records as `history --json` lists them, newest first,
    // from the store the environment or `extra` (as --history URL) names.
    std::vector<nlohmann::json> Records(const std::vector<std::string>& extra = {});

    std::string m_folder;
    // Put in front of every program the fixture starts (to run it as
    // another user, say); empty to run it as the test's own.
    std::vector<std::string> m_runAs;
    std::string m_devicePath;
    std::string m_statePath;
    ChildProcess m_handset;
    int m_handsets = 0;
};

// A file's whole content; empty when it cannot be read.
std::string FileText(const std::string& path);
std::vector<uint8_t> FileBytes(const std::string& path);
// A file's SHA-256 in hexadecimal, as sha256sum computes it.
std::string Sha256(const std::string& path);
// A command line's options with more after them.
std::vector<std::string> With(std::vector<std::string> options, const std::vector<std::string>& more);

// What a program's output ends with: its last lines, its end text.
inline bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

} // namespace corvanetov
