#include "host/TerminationSignals.h"

#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace corvanetov {

namespace {
// [0] is read by the window's thread, [1] written by the handler.
int g_pipe[2] = {-1, -1};

void OnSignal(int)
{
    const char signalled = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &signalled, sizeof signalled);
}

void Handle(int signalNumber)
{
    struct sigaction action = {};
    action.sa_handler = &OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(signalNumber, &action, nullptr);
}
} // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent)
{
    // Without the pipe the signals keep their default: the host ends at once.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_pipe) != 0)
        return;
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::OnPipeReadable);
    Handle(SIGTERM);
    Handle(SIGHUP);
}

TerminationSignals::~TerminationSignals()
{
    if (!m_notifier)
        return;
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGHUP, SIG_DFL);
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
}

void TerminationSignals::OnPipeReadable()
{
    char signalled = 0;
    if (::read(g_pipe[0], &signalled, sizeof signalled) > 0)
        emit Received();
}

} // namespace corvanetov
