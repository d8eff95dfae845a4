#include "ChildProcess.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;

namespace corvanetov {


namespace {
struct Pipe {
    int read = -1;
    int write = -1;
    Pipe()
    {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe");
        read = fds[0];
        write = fds[1];
    }
};

std::vector<char*> CStrings(std::vector<std::string>& strings)
{
    std::vector<char*> pointers;
    for (auto& s : strings)
        pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

bool SameName(const std::string& entry, const std::string& other)
{
    size_t equals = entry.find('=');
    return equals != std::string::npos && other.compare(0, equals + 1, entry, 0, equals + 1) == 0;
}

// The test's environment with the extra entries in place of its own of the
// same name (the first entry of a name is the one a program sees).
std::vector<std::string> Environment(const std::vector<std::string>& extra)
{
    std::vector<std::string> environment;
    for (char** e = environ; *e; ++e) {
        std::string entry(*e);
        bool replaced = false;
        for (const auto& mine : extra)
            replaced = replaced || SameName(mine, entry);
        if (!replaced)
            environment.push_back(std::move(entry));
    }
    environment.insert(environment.end(), extra.begin(), extra.end());
    return environment;
}

pid_t Spawn(std::vector<std::string> argv, const std::vector<std::string>& extra, int outFd, int errFd,
            const std::string& inputPath = "/dev/null")
{
    std::vector<std::string> environment = Environment(extra);
    auto args = CStrings(argv);
    auto env = CStrings(environment);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, inputPath.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outFd, 1);
    posix_spawn_file_actions_adddup2(&actions, errFd, 2);
    pid_t pid = -1;
    int rc = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(rc));
    return pid;
}

int WaitExit(pid_t pid)
{
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

constexpr int kSignalExitBase = 128;
} // namespace

ChildProcess::Result ChildProcess::Run(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                                       std::chrono::milliseconds timeout, const std::string& inputPath)
{
    Pipe out, err;
    pid_t pid = Spawn(argv, environment, out.write, err.write, inputPath);
    ::close(out.write);
    ::close(err.write);
    Result result;
    auto deadline = std::chrono::steady_clock::now() + timeout;
    pollfd fds[2] = {{out.read, POLLIN, 0}, {err.read, POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open = 2;
    bool timedOut = false;
    while (open > 0) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            timedOut = true;
            break;
        }
        ::poll(fds, 2, static_cast<int>(left.count()));
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP)))
                continue;
            char buffer[4096];
            ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<size_t>(n));
            } else {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    if (timedOut)
        ::kill(pid, SIGKILL);
    for (auto& fd : fds)
        if (fd.fd >= 0)
            ::close(fd.fd);
    result.exitCode = WaitExit(pid);
    if (timedOut)
        result.exitCode = -1;
    return result;
}

ChildProcess::~ChildProcess()
{
    Stop();
}

std::string ChildProcess::Start(const std::vector<std::string>& argv, const std::vector<std::string>& environment)
{
    Pipe out;
    int errFd = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    m_pid = Spawn(argv, environment, out.write, errFd);
    ::close(out.write);
    ::close(errFd);
    m_out = out.read;
    std::string line;
    for (;;) {
        pollfd pfd{m_out, POLLIN, 0};
        if (::poll(&pfd, 1, 10000) <= 0)
            break;
        char c = 0;
        if (::read(m_out, &c, 1) != 1 || c == '\n')
            break;
        line += c;
    }
    return line;
}

void ChildProcess::StartLogged(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                               const std::string& logPath)
{
    int logFd = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (logFd < 0)
        throw std::runtime_error("cannot write " + logPath + ": " + std::strerror(errno));
    m_pid = Spawn(argv, environment, logFd, logFd);
    m_exitCode = kStillRunning;
    ::close(logFd);
}

int ChildProcess::WaitForExit(std::chrono::milliseconds timeout)
{
    if (m_pid <= 0)
        return m_exitCode;
    // The descriptor becomes readable when the program ends.
    int ended = static_cast<int>(::syscall(SYS_pidfd_open, m_pid, 0));
    if (ended >= 0) {
        pollfd pfd{ended, POLLIN, 0};
        ::poll(&pfd, 1, static_cast<int>(timeout.count()));
        ::close(ended);
    }
    int status = 0;
    if (::waitpid(m_pid, &status, WNOHANG) != m_pid)
        return kStillRunning;
    m_pid = -1;
    m_exitCode = WIFSIGNALED(status) ? kSignalExitBase + WTERMSIG(status) : WEXITSTATUS(status);
    return m_exitCode;
}

int ChildProcess::Stop()
{
    if (m_pid <= 0)
        return -1;
    ::kill(m_pid, SIGTERM);
    int code = WaitExit(m_pid);
    m_pid = -1;
    if (m_out >= 0)
        ::close(m_out);
    m_out = -1;
    return code;
}

} // namespace corvanetov
