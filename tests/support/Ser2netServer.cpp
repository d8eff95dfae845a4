#include "Ser2netServer.h"

#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace corvanetov {

namespace {
constexpr auto kListenGiveUp = std::chrono::seconds(10);
constexpr auto kListenPoll = std::chrono::milliseconds(20);
// An ordinary user's PATH often lacks the sbin folders.
constexpr const char* kPlaces[] = {"/usr/sbin/ser2net", "/usr/bin/ser2net", "/usr/local/sbin/ser2net"};
constexpr char kListening[] = "0A"; // the state column of /proc/net/tcp

// A loopback port nothing uses now: the system's pick for a socket bound
// to port 0, given back at once for ser2net to bind.
int FreePort()
{
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                       ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0;
    ::close(fd);
    return bound ? ntohs(address.sin_port) : 0;
}

// Whether something listens on the loopback port, without connecting: a
// connection would be ser2net's one client.
bool Listening(int port)
{
    char local[32];
    std::snprintf(local, sizeof local, "0100007F:%04X", port);
    std::ifstream table("/proc/net/tcp");
    for (std::string slot, address, remote, state; table >> slot >> address >> remote >> state;) {
        if (address == local && state == kListening)
            return true;
        table.ignore(4096, '\n');
    }
    return false;
}
} // namespace

std::string Ser2netServer::Program()
{
    for (const char* place : kPlaces)
        if (::access(place, X_OK) == 0)
            return place;
    return {};
}

bool Ser2netServer::Start(const std::string& device, const std::string& folder, std::string& why)
{
    m_port = FreePort();
    if (Program().empty() || m_port == 0) {
        why = Program().empty() ? "ser2net is not installed (Debian's ser2net package)" : "no free loopback port";
        return false;
    }
    m_folder = folder;
    std::ofstream(folder + "/ser2net.yaml") << "connection: &handset\n"
                                             << "    accepter: tcp,127.0.0.1," << m_port << "\n"
                                             << "    connector: serialdev," << device << ",115200n81,local\n";
    m_address = "127.0.0.1:" + std::to_string(m_port);
    return Run(why);
}

bool Ser2netServer::Restart(std::string& why)
{
    Stop();
    return Run(why);
}

bool Ser2netServer::Run(std::string& why)
{
    const std::string log = m_folder + "/ser2net.log";
    // -n: in the foreground, -u: no UUCP lock in the system's folder.
    m_process.StartLogged({Program(), "-n", "-u", "-c", m_folder + "/ser2net.yaml", "-P", m_folder + "/ser2net.pid"}, {}, log);
    const auto deadline = std::chrono::steady_clock::now() + kListenGiveUp;
    while (!Listening(m_port)) {
        if (std::chrono::steady_clock::now() >= deadline || m_process.WaitForExit(std::chrono::milliseconds(0)) != ChildProcess::kStillRunning) {
            why = "ser2net did not listen on port " + std::to_string(m_port) + ": see " + log;
            m_process.Stop();
            return false;
        }
        std::this_thread::sleep_for(kListenPoll);
    }
    return true;
}

} // namespace corvanetov
