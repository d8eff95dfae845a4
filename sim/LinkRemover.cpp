#include "sim/LinkRemover.h"

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <unistd.h>

namespace {
constexpr size_t kPathCapacity = 4096;
// Fixed storage: a signal handler may not allocate.
char g_link[kPathCapacity];
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

void LinkRemover::Arm(const std::string& link, const std::string& device)
{
    if (link.empty() || !Store(g_link, link) || !Store(g_device, device))
        return;
    struct sigaction action {};
    action.sa_handler = &LinkRemover::OnFatalSignal;
    action.sa_flags = static_cast<int>(SA_RESETHAND); // the second time, the default: end
    for (int signal : kFatalSignals)
        sigaction(signal, &action, nullptr);
    std::set_terminate(&LinkRemover::OnTerminate);
}

// readlink and unlink are safe in a signal handler.
void LinkRemover::RemoveLink()
{
    if (!g_link[0])
        return;
    char target[kPathCapacity];
    ssize_t length = ::readlink(g_link, target, sizeof target - 1);
    if (length < 0)
        return;
    target[length] = '\0';
    if (std::strcmp(target, g_device) == 0)
        ::unlink(g_link);
}

void LinkRemover::OnFatalSignal(int signal)
{
    RemoveLink();
    ::raise(signal); // the handler is reset: the signal now ends the program as it would have
}

void LinkRemover::OnTerminate()
{
    RemoveLink();
    std::abort();
}
