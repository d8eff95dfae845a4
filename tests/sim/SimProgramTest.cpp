// The vqxb410-sim program as end-to-end tests meet it: spawned, first line
// read, talked to, stopped with SIGTERM.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <span>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "comm/PortResolver.h"
#include "diag/DiagChannel.h"
#include "diag/DiagRequests.h"
#include "diag/Exchange.h"

using namespace corvanetov;

extern char** environ;

namespace {
constexpr uint32_t kWaitMs = 200000; // 2 s at the tests' time scale

std::string SimPath()
{
    const char* fromEnvironment = std::getenv("VQXB410_SIM");
    return fromEnvironment && *fromEnvironment ? fromEnvironment : VQXB410_SIM_PATH;
}

class SimProcess {
public:
    explicit SimProcess(std::vector<std::string> args)
    {
        args.insert(args.begin(), SimPath());
        int fds[2];
        if (::pipe(fds) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        m_out = fds[0];
    }
    ~SimProcess()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        if (m_out >= 0)
            ::close(m_out);
    }

    // Everything up to the next newline, or what came before the time-out or
    // the end of the output (both of which end ReadAll).
    std::string ReadLine()
    {
        std::string line;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        char c = 0;
        while (std::chrono::steady_clock::now() < deadline) {
            pollfd pfd{m_out, POLLIN, 0};
            if (::poll(&pfd, 1, 100) <= 0)
                continue;
            if (::read(m_out, &c, 1) != 1) {
                m_ended = true;
                break;
            }
            if (c == '\n')
                break;
            line += c;
        }
        m_ended = m_ended || std::chrono::steady_clock::now() >= deadline;
        return line;
    }

    std::string ReadAll()
    {
        std::string text;
        for (std::string line = ReadLine(); !m_ended; line = ReadLine())
            text += line + "\n";
        return text;
    }

    // The exit status after SIGTERM, or -1 when it had to be killed.
    int Terminate()
    {
        ::kill(m_pid, SIGTERM);
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        int status = 0;
        while (::waitpid(m_pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline)
                return -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    pid_t Pid() const { return m_pid; }
    void Signal(int signal) const { ::kill(m_pid, signal); }

    int Wait()
    {
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t m_pid = -1;
    int m_out = -1;
    bool m_ended = false;
};

class SimProgram : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = std::filesystem::temp_directory_path() / ("sim-program-" + std::to_string(::getpid()));
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::unique_ptr<DiagChannel> Connect(const std::string& device)
    {
        PortResolver::Instance().Set([device](uint8_t) { return device; });
        auto channel = std::make_unique<DiagChannel>();
        channel->CreateResponseEvent(0);
        channel->Configure(1, 115200, 8, 0, 0);
        channel->CreateIoEvents();
        EXPECT_TRUE(channel->Open()) << channel->OpenError();
        channel->SetLeadFlag(0);
        return channel;
    }

    std::filesystem::path m_dir;
    Exchange m_exchange;
};

long ResidentKb(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return -1;
}
} // namespace

TEST_F(SimProgram, FirstLineIsTheDevicePathAndSigtermCleansUp)
{
    auto byId = m_dir / "by-id";
    SimProcess sim({"--by-id", byId.string(), "--state", (m_dir / "state.json").string()});
    std::string device = sim.ReadLine();
    struct stat info {};
    ASSERT_EQ(0, ::stat(device.c_str(), &info)) << "first line: " << device;
    EXPECT_TRUE(S_ISCHR(info.st_mode));
    auto link = byId / "usb-Corvane_VQX-B410_qxcdmdm-if02-port0";
    ASSERT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(device, std::filesystem::read_symlink(link).string());

    EXPECT_EQ(0, sim.Terminate());
    EXPECT_FALSE(std::filesystem::exists(link));
    EXPECT_TRUE(std::filesystem::exists(m_dir / "state.json")) << "the state is saved at exit";
}

TEST_F(SimProgram, SecondRunContinuesWithTheSettingsOfTheFirstAndTheLogTellsTheSequence)
{
    std::string state = (m_dir / "state.json").string();
    std::string log = (m_dir / "log.jsonl").string();
    std::vector<uint8_t> image(59994, 0);
    image[39] = 6;
    std::copy_n("246810", 6, image.begin() + 40);
    {
        SimProcess sim({"--state", state, "--log", log, "--esn", "ABCDEF01"});
        auto channel = Connect(sim.ReadLine());
        ASSERT_TRUE(m_exchange.Transact(*channel, [&] { DiagRequests::NvWriteRequest(*channel, 82, std::span<const uint8_t>(image).subspan(39, 9)); }, {kWaitMs, 10, 0x27}));
        channel.reset();
        EXPECT_EQ(0, sim.Terminate());
    }
    SimProcess sim({"--state", state, "--model-code", "0x92"});
    auto channel = Connect(sim.ReadLine());
    ASSERT_TRUE(m_exchange.Transact(*channel, [&] { DiagRequests::VersionRequest(*channel); }, {kWaitMs, 10, 0x00}));
    EXPECT_EQ(0x92, m_exchange.CurrentResponse()[49]) << "a handset of another model";
    ASSERT_TRUE(m_exchange.Transact(*channel, [&] { DiagRequests::NvReadRequest(*channel, 82); }, {kWaitMs, 10, 0x26}));
    EXPECT_TRUE(std::equal(image.begin() + 39, image.begin() + 48, m_exchange.CurrentResponse() + 3));
    ASSERT_TRUE(m_exchange.Transact(*channel, [&] { DiagRequests::StatusRequest(*channel); }, {kWaitMs, 10, 0x0C}));
    EXPECT_EQ(0xABCDEF01u, *reinterpret_cast<const uint32_t*>(m_exchange.CurrentResponse() + 4)) << "the ESN of the first run's flag";
    channel.reset();
    EXPECT_EQ(0, sim.Terminate());

    std::ifstream in(log);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    ASSERT_EQ(4u, lines.size()); // started, request, answer, stopped
    EXPECT_NE(std::string::npos, lines[1].find("\"cmd\":\"NvWriteRequest\",\"code\":39,\"dir\":\"rx\",\"item\":82"));
    EXPECT_NE(std::string::npos, lines[2].find("\"dir\":\"tx\",\"item\":82,\"nv_status\":0"));
}

// A lock code of any bytes, from an option, a state file or an NV write,
// is kept, and the handset goes on answering.
TEST_F(SimProgram, StateOfAnyBytesIsKeptAndTheHandsetGoesOn)
{
    std::string state = (m_dir / "state.json").string();
    {
        std::ofstream out(state);
        out << R"({"nv":{"2071":"90"}})";
    }
    const uint8_t lockCode[] = {4, 0xFF, '1', '2', 0x80, 0, 0, 0, 0};
    {
        SimProcess sim({"--state", state, "--lock-code", "\xFF\xFE"});
        auto channel = Connect(sim.ReadLine());
        ASSERT_TRUE(m_exchange.Transact(*channel, [&] { DiagRequests::NvWriteRequest(*channel, 82, lockCode); }, {kWaitMs, 10, 0x27}));
        EXPECT_FALSE(std::filesystem::exists(state + ".tmp"));
        ASSERT_TRUE(m_exchange.Transact(*channel, [&] { DiagRequests::StatusRequest(*channel); }, {kWaitMs, 10, 0x0C}))
            << "the handset still answers after saving";
        channel.reset();
        EXPECT_EQ(0, sim.Terminate());
    }
    SimProcess sim({"--state", state});
    auto channel = Connect(sim.ReadLine());
    ASSERT_TRUE(m_exchange.Transact(*channel, [&] { DiagRequests::NvReadRequest(*channel, 82); }, {kWaitMs, 10, 0x26}));
    EXPECT_TRUE(std::equal(std::begin(lockCode), std::end(lockCode), m_exchange.CurrentResponse() + 3));
    ASSERT_TRUE(m_exchange.Transact(*channel, [&] { DiagRequests::NvReadRequest(*channel, 2071); }, {kWaitMs, 10, 0x26}));
    EXPECT_EQ(0x90, m_exchange.CurrentResponse()[3]);
    channel.reset();
    EXPECT_EQ(0, sim.Terminate());
}

// The by-id link goes with the handset however it ends, so that no tool
// follows it to a terminal that later gets its number.
TEST_F(SimProgram, ByIdLinkGoesWithTheHandsetHoweverItEnds)
{
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore); // the fatal signals leave no core file behind
    auto byId = m_dir / "by-id";
    auto link = byId / "usb-Corvane_VQX-B410_qxcdmdm-if02-port0";
    struct Case {
        int signal;
        bool orderly; // exit status 0 with the state saved
    };
    for (Case c : {Case{SIGTERM, true}, Case{SIGINT, true}, Case{SIGHUP, true}, Case{SIGABRT, false}, Case{SIGSEGV, false}}) {
        SCOPED_TRACE(strsignal(c.signal));
        std::string state = (m_dir / ("state" + std::to_string(c.signal) + ".json")).string();
        SimProcess sim({"--by-id", byId.string(), "--state", state});
        ASSERT_FALSE(sim.ReadLine().empty());
        ASSERT_TRUE(std::filesystem::is_symlink(link));
        sim.Signal(c.signal);
        EXPECT_EQ(c.orderly ? 0 : -1, sim.Wait());
        EXPECT_FALSE(std::filesystem::is_symlink(link));
        EXPECT_EQ(c.orderly, std::filesystem::exists(state));
    }
}

TEST_F(SimProgram, HelpNamesTheOptionsAndBadFaultsAreRefused)
{
    SimProcess help({"--help"});
    std::string text = help.ReadAll();
    EXPECT_EQ(0, help.Wait());
    for (const char* option : {"--state", "--by-id", "--tcp", "--emergency", "--flash-out", "--drop", "--drop-from", "--nak-block", "--hangup", "--line-rate", "--log", "--lone-flag", "--chunks"})
        EXPECT_NE(std::string::npos, text.find(option)) << option;

    SimProcess bad({"--drop", "warp:2"});
    EXPECT_NE(0, bad.Wait());
    SimProcess badNak({"--nak-block", "3:0x50"});
    EXPECT_NE(0, badNak.Wait());
}

TEST_F(SimProgram, ManyRequestsLeaveTheResidentSizeFlat)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer's quarantine grows the resident size; LeakSanitizer checks for leaks there";
#endif
    SimProcess sim({"--state", (m_dir / "state.json").string(), "--log", (m_dir / "log.jsonl").string()});
    auto channel = Connect(sim.ReadLine());
    std::vector<uint8_t> image(59994, 0x31);
    auto round = [&](int count) {
        for (int i = 0; i < count; ++i) {
            ASSERT_TRUE(m_exchange.Transact(*channel, [&] { DiagRequests::StatusRequest(*channel); }, {kWaitMs, 10, 0x0C}));
            ASSERT_TRUE(m_exchange.Transact(*channel, [&] { DiagRequests::VersionRequest(*channel); }, {kWaitMs, 10, 0x00}));
            ASSERT_TRUE(m_exchange.Transact(*channel, [&] { DiagRequests::NvWriteRequest(*channel, 2071, std::span<const uint8_t>(image).subspan(59816, 8)); }, {kWaitMs, 10, 0x27}));
            ASSERT_TRUE(m_exchange.Transact(*channel, [&] { DiagRequests::NvReadRequest(*channel, 2071); }, {kWaitMs, 10, 0x26}));
        }
    };
    round(100); // allocator and buffers settle
    long before = ResidentKb(sim.Pid());
    round(1000);
    long after = ResidentKb(sim.Pid());
    ASSERT_GT(before, 0);
    EXPECT_LT(after - before, 256) << "4000 requests and their log lines are not kept";
    channel.reset();
    EXPECT_EQ(0, sim.Terminate());
}
