#include "sim/LinkRemover.h"

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <unistd.h>

namespace {
constexpr size_t kPathCapacity = 4096;
// Fixed storage: a signal handler may not allocate.
// The by-id link's names (in normal and download mode) and the by-path link.
constexpr size_t kLinks = 3;
char g_links[kLinks][kPathCapacity];
char g_device[kPathCapacity];
constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};

bool Store(char* into, const std::string& text)
{
    if (text.size() >= kPathCapacity)
        return false;
    std::memcpy(into, text.c_str(), text.size() + 1);
    return true;
}
} // namespace

void LinkRemover::Arm(const std::vector<std::string>& links, const std::string& device)
{
    if (links.empty() || links.size() > kLinks || !Store(g_device, device))
        return;
    for (size_t i = 0; i < links.size(); ++i)
        if (!Store(g_links[i], links[i]))
            return;
    struct sigaction action {};
    action.sa_handler = &LinkRemover::OnFatalSignal;
    action.sa_flags = static_cast<int>(SA_RESETHAND); // the second time, the default: end
    for (int signal : kFatalSignals)
        sigaction(signal, &action, nullptr);
    std::set_terminate(&LinkRemover::OnTerminate);
}

// readlink and unlink are safe in a signal handler.
void LinkRemover::RemoveLinks()
{
    for (const char* link : g_links) {
        char target[kPathCapacity];
        const ssize_t length = link[0] ? ::readlink(link, target, sizeof target - 1) : -1;
        if (length < 0)
            continue;
        target[length] = '\0';
        if (std::strcmp(target, g_device) == 0)
            ::unlink(link);
    }
}

void LinkRemover::OnFatalSignal(int signal)
{
    RemoveLinks();
    ::raise(signal); // the handler is reset: the signal now ends the program as it would have
}

void LinkRemover::OnTerminate()
{
    RemoveLinks();
    std::abort();
}
