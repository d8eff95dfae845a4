// vqxb410-sim: a simulated VQX-B410 handset for the demo, the end-to-end
// tests, the benchmarks and training.
#include <csignal>
#include <cstdio>
#include <exception>

#include "sim/FaultPlan.h"
#include "sim/LinkRemover.h"
#include "sim/SimCommandLine.h"
#include "sim/SimHandset.h"
#include "sim/SimLog.h"
#include "sim/SimState.h"
#include "sim/SimTransport.h"

namespace {
SimTransport* g_transport = nullptr;

void OnStopSignal(int)
{
    if (g_transport)
        g_transport->Stop();
}

int Fail(const std::string& error)
{
    std::fprintf(stderr, "vqxb410-sim: %s\n", error.c_str());
    return 1;
}
} // namespace

int main(int argc, char** argv)
{
    SimCommandLine commandLine;
    if (auto exitCode = commandLine.Parse(argc, argv))
        return *exitCode;
    SimState state;
    FaultPlan faults;
    SimLog log;
    std::string error;
    if (!commandLine.LoadState(state, error) || !commandLine.BuildFaults(faults, error))
        return Fail(error);
    if (!commandLine.LogPath().empty() && !log.Open(commandLine.LogPath()))
        return Fail(commandLine.LogPath() + ": cannot open the log");

    SimHandset handset(state, faults, log, commandLine.HandsetOptions());
    SimTransport transport(handset, log, commandLine.TransportOptions());
    if (!transport.Open(error))
        return Fail(error);
    LinkRemover::Arm(transport.LinkNames(), transport.SlavePath());
    g_transport = &transport;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    // A closed terminal or session ends the handset as orderly as a stop.
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        sigaction(signal, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    std::printf("%s\n", transport.SlavePath().c_str());
    if (!transport.TcpAddress().empty())
        std::printf("tcp %s\n", transport.TcpAddress().c_str());
    std::fflush(stdout);
    log.Event("started", {{"device", transport.SlavePath()}, {"mode", handset.CurrentMode() == SimHandset::Mode::Normal ? "normal" : "download"}});

    try {
        transport.Run();
    } catch (const std::exception& e) {
        // The transport's destructor still removes the link.
        g_transport = nullptr;
        log.Event("failed", {{"error", e.what()}});
        return Fail(e.what());
    }
    g_transport = nullptr;
    handset.Finish();
    log.Event("stopped");
    return 0;
}
