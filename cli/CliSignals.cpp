#include "cli/CliSignals.h"

#include <csignal>
#include <pthread.h>
#include <system_error>
#include <thread>

namespace corvanetov {

bool CliSignals::Watch(std::function<void()> onSignal)
{
    sigset_t watched;
    sigemptyset(&watched);
    sigaddset(&watched, SIGINT);
    sigaddset(&watched, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &watched, nullptr);
    try {
        std::thread([watched, onSignal = std::move(onSignal)] {
            int received = 0;
            while (sigwait(&watched, &received) == 0)
                onSignal();
        }).detach();
    } catch (const std::system_error&) {
        pthread_sigmask(SIG_UNBLOCK, &watched, nullptr);
        return false;
    }
    return true;
}

} // namespace corvanetov
