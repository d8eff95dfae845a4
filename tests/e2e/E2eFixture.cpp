#include "E2eFixture.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdlib.h>
#include <thread>

namespace corvanetov {

namespace fs = std::filesystem;

namespace {
constexpr auto kLostRequestAfter = std::chrono::seconds(30);
constexpr auto kLogPollPeriod = std::chrono::milliseconds(10);
} // namespace

void E2eFixture::SetUp()
{
    char pattern[] = "/tmp/corvanetov-e2e-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(pattern));
    m_folder = pattern;
    fs::create_directories(m_folder + "/by-id");
    fs::create_directories(m_folder + "/config");
}

void E2eFixture::TearDown()
{
    m_handset.Stop();
    fs::remove_all(m_folder);
}

std::string E2eFixture::StartHandset(const std::vector<std::string>& options)
{
    // A handset of its own each time: the state file keeps a handset's settings.
    m_statePath = m_folder + "/handset" + std::to_string(++m_handsets) + ".json";
    std::vector<std::string> argv = m_runAs;
    argv.insert(argv.end(), {VQXB410_SIM_PATH, "--by-id", m_folder + "/by-id", "--log", m_folder + "/sim.log", "--state",
                             m_statePath});
    argv.insert(argv.end(), options.begin(), options.end());
    m_devicePath = m_handset.Start(argv, Environment());
    return m_devicePath;
}

std::vector<std::string> E2eFixture::Environment() const
{
    return {"XDG_CONFIG_HOME=" + m_folder + "/config", "CORVANETOV_SERIAL_BY_ID=" + m_folder + "/by-id",
            "XDG_DATA_HOME=" + m_folder + "/data"};
}

std::vector<nlohmann::json> E2eFixture::Records(const std::vector<std::string>& extra)
{
    std::vector<std::string> arguments = {"--json", "history"};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    ChildProcess::Result listed = Cli(arguments);
    EXPECT_EQ(listed.exitCode, 0) << listed.err;
    std::vector<nlohmann::json> records;
    std::istringstream lines(listed.out);
    for (std::string line; std::getline(lines, line);)
        records.push_back(nlohmann::json::parse(line));
    return records;
}

ChildProcess::Result E2eFixture::Cli(const std::vector<std::string>& arguments)
{
    std::vector<std::string> argv = m_runAs;
    argv.push_back(CORVANETOV_CLI_PATH);
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return ChildProcess::Run(argv, Environment());
}

std::vector<std::string> E2eFixture::LoggedRequests() const
{
    std::vector<std::string> lines;
    std::ifstream log(m_folder + "/sim.log");
    for (std::string line; std::getline(log, line);)
        if (line.find("\"dir\":\"rx\"") != std::string::npos)
            lines.push_back(line);
    return lines;
}

size_t E2eFixture::Requests(const std::string& command, const std::string& detail) const
{
    size_t count = 0;
    for (const auto& line : LoggedRequests())
        count += line.find("\"cmd\":\"" + command + "\"") != std::string::npos && line.find(detail) != std::string::npos;
    return count;
}

bool E2eFixture::AwaitRequests(const std::string& command, size_t count, const std::string& detail) const
{
    auto deadline = std::chrono::steady_clock::now() + kLostRequestAfter;
    while (Requests(command, detail) < count) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(kLogPollPeriod);
    }
    return true;
}

std::string E2eFixture::HandsetState() const
{
    std::ifstream state(m_statePath);
    return {std::istreambuf_iterator<char>(state), {}};
}

std::string FileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<uint8_t> FileBytes(const std::string& path)
{
    const std::string text = FileText(path);
    return {text.begin(), text.end()};
}

std::string Sha256(const std::string& path)
{
    return ChildProcess::Run({"/usr/bin/sha256sum", path}).out.substr(0, 64);
}

std::vector<std::string> With(std::vector<std::string> options, const std::vector<std::string>& more)
{
    options.insert(options.end(), more.begin(), more.end());
    return options;
}

} // namespace corvanetov
