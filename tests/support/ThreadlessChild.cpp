#include "ThreadlessChild.h"

#include <cerrno>
#include <cstdio>
#include <grp.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace corvanetov {

namespace {
constexpr int kPassed = 0;
constexpr int kFailed = 1;
constexpr int kNotStarved = 2;

bool DropRoot(const passwd* nobody)
{
    return nobody && ::setgroups(0, nullptr) == 0 && ::setgid(nobody->pw_gid) == 0 && ::setuid(nobody->pw_uid) == 0;
}

bool ThreadsRefused()
{
    try {
        std::thread([] {}).join();
    } catch (const std::system_error&) {
        return true;
    }
    return false;
}

// In the child: only its own memory is touched, and it ends by _exit, so
// nothing of the parent's is flushed or torn down twice.
[[noreturn]] void RunInChild(const std::function<bool()>& check, const passwd* nobody)
{
    rlimit limit{};
    ::getrlimit(RLIMIT_NPROC, &limit);
    limit.rlim_cur = 0; // the hard limit stays, so that AllowThreads can go back
    bool starved = ::setrlimit(RLIMIT_NPROC, &limit) == 0 && (::geteuid() != 0 || DropRoot(nobody)) && ThreadsRefused();
    if (!starved)
        ::_exit(kNotStarved);
    // An escaping exception must end the child here, not in the test
    // runner's handler, which would go on running the parent's tests.
    bool passed = false;
    try {
        passed = check();
    } catch (...) {
        std::fprintf(stderr, "ThreadlessChild: the check threw\n");
    }
    ::_exit(passed ? kPassed : kFailed);
}
} // namespace

bool ThreadlessChild::Run(const std::function<bool()>& check)
{
    const passwd* nobody = ::getpwnam("nobody"); // looked up here: no name service in the child
    std::fflush(nullptr);
    pid_t child = ::fork();
    if (child < 0)
        return false;
    if (child == 0)
        RunInChild(check, nobody);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == kNotStarved)
        std::fprintf(stderr, "ThreadlessChild: the child could still start threads\n");
    return WIFEXITED(status) && WEXITSTATUS(status) == kPassed;
}

namespace {
void SetThreadLimit(bool allowed)
{
    rlimit limit{};
    ::getrlimit(RLIMIT_NPROC, &limit);
    limit.rlim_cur = allowed ? limit.rlim_max : 0;
    ::setrlimit(RLIMIT_NPROC, &limit);
}
} // namespace

void ThreadlessChild::AllowThreads()
{
    SetThreadLimit(true);
}

void ThreadlessChild::RefuseThreads()
{
    SetThreadLimit(false);
}

} // namespace corvanetov
