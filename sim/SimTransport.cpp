#include "sim/SimTransport.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include "platform/Pacing.h"
#include "sim/SimHandset.h"
#include "sim/SimLog.h"

using namespace corvanetov;

namespace {
constexpr size_t kReadChunk = 4096;
constexpr uint32_t kGarbageGapMs = 20; // junk follows an answer, not glued to it
constexpr int kListenBacklog = 1;
constexpr char kLoopbackHost[] = "127.0.0.1"; // where --tcp :PORT listens
// How often a handset without an inotify watch looks for the next open.
constexpr auto kOpenLook = std::chrono::milliseconds(5);

std::string SystemError(const std::string& what)
{
    return what + ": " + std::strerror(errno);
}

void CloseFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

void Drain(int fd)
{
    char buffer[1024];
    while (::read(fd, buffer, sizeof buffer) > 0) {
    }
}
} // namespace

SimTransport::SimTransport(SimHandset& handset, SimLog& log, SimTransportOptions options)
    : m_handset(handset), m_log(log), m_options(std::move(options))
{
    if (m_options.loneFlag)
        m_slicer.SeparateClosingFlag();
    if (m_options.chunkSeed)
        m_slicer.RandomChunks(*m_options.chunkSeed);
}

SimTransport::~SimTransport()
{
    CloseAll();
    CloseFd(m_wakeFd);
}

bool SimTransport::Open(std::string& error)
{
    m_wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_wakeFd < 0) {
        error = SystemError("eventfd");
        return false;
    }
    return OpenPty(error) && (m_options.tcp.empty() || OpenTcp(error));
}

bool SimTransport::OpenPty(std::string& error)
{
    m_pty.fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    char name[128];
    if (m_pty.fd < 0 || ::grantpt(m_pty.fd) != 0 || ::unlockpt(m_pty.fd) != 0 || ::ptsname_r(m_pty.fd, name, sizeof name) != 0) {
        error = SystemError("pseudo-terminal");
        return false;
    }
    m_slavePath = name;
    // A raw line from the start, so nothing is echoed or translated before a
    // tool applies its own settings.
    int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios tio{};
    if (slave < 0 || ::tcgetattr(slave, &tio) != 0) {
        error = SystemError(m_slavePath);
        CloseFd(slave);
        return false;
    }
    ::cfmakeraw(&tio);
    ::cfsetspeed(&tio, B115200);
    ::tcsetattr(slave, TCSANOW, &tio);
    ::close(slave);
    // With no tool on the line the master reports a hang-up on every poll;
    // the handset then stops polling it and waits for the next open instead,
    // told by an inotify watch. A user has few inotify instances (128 by
    // default): a handset that finds none left looks every few milliseconds.
    if (m_options.watchOpens)
        m_inotifyFd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_inotifyFd >= 0 && ::inotify_add_watch(m_inotifyFd, name, IN_OPEN) < 0) {
        error = SystemError("inotify on " + m_slavePath);
        return false;
    }
    m_pty.attached = true;
    m_byIdName = ByIdName();
    // The slot first: a listing that sees the by-id link finds its slot.
    return MakeLink(m_options.byPathDir, m_options.byPathName, m_byPathPath, error) &&
           MakeLink(m_options.byIdDir, m_byIdName, m_byIdPath, error);
}

bool SimTransport::MakeLink(const std::string& folder, const std::string& name, std::string& path, std::string& error) const
{
    if (folder.empty())
        return true;
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    const std::string link = folder + "/" + name;
    ::unlink(link.c_str()); // left over by a run that was killed
    if (::symlink(m_slavePath.c_str(), link.c_str()) != 0) {
        error = SystemError(link);
        return false;
    }
    path = link;
    return true;
}

std::string SimTransport::ByIdName() const
{
    const bool download = m_handset.CurrentMode() == SimHandset::Mode::Download;
    return download && !m_options.byIdDownloadName.empty() ? m_options.byIdDownloadName : m_options.byIdName;
}

std::vector<std::string> SimTransport::LinkNames() const
{
    std::vector<std::string> names;
    for (const std::string& name : {m_options.byIdName, m_options.byIdDownloadName})
        if (!m_options.byIdDir.empty() && !name.empty())
            names.push_back(m_options.byIdDir + "/" + name);
    if (!m_byPathPath.empty())
        names.push_back(m_byPathPath);
    return names;
}

// As udev does for a handset that restarts as another USB product: the
// old name goes at once, the new one comes once the handset is back.
void SimTransport::FollowMode()
{
    if (m_options.byIdDir.empty() || m_byIdName == ByIdName())
        return;
    m_byIdName = ByIdName();
    if (!m_byIdPath.empty())
        ::unlink(m_byIdPath.c_str());
    m_byIdPath.clear();
    m_byIdDue = m_handset.BackAt();
}

void SimTransport::PlaceByIdLink()
{
    if (!m_byIdDue || Clock::now() < *m_byIdDue)
        return;
    m_byIdDue.reset();
    std::string error;
    if (!MakeLink(m_options.byIdDir, m_byIdName, m_byIdPath, error))
        m_log.Event("link_failed", {{"error", error}});
}

bool SimTransport::OpenTcp(std::string& error)
{
    auto colon = m_options.tcp.rfind(':');
    if (colon == std::string::npos) {
        error = m_options.tcp + ": expected host:port";
        return false;
    }
    // Without a host, only this machine may talk to the handset: every
    // interface has to be asked for (0.0.0.0, [::]).
    std::string host = colon == 0 ? kLoopbackHost : m_options.tcp.substr(0, colon);
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), m_options.tcp.c_str() + colon + 1, &hints, &found) != 0 || !found) {
        error = m_options.tcp + ": unknown address";
        return false;
    }
    m_listenFd = ::socket(found->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    int one = 1;
    if (m_listenFd >= 0)
        ::setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    bool bound = m_listenFd >= 0 && ::bind(m_listenFd, found->ai_addr, found->ai_addrlen) == 0 && ::listen(m_listenFd, kListenBacklog) == 0;
    ::freeaddrinfo(found);
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    char boundHost[NI_MAXHOST];
    char port[NI_MAXSERV];
    if (!bound || ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&address), &length) != 0
        || ::getnameinfo(reinterpret_cast<sockaddr*>(&address), length, boundHost, sizeof boundHost, port, sizeof port,
                         NI_NUMERICHOST | NI_NUMERICSERV) != 0) {
        error = SystemError(m_options.tcp);
        return false;
    }
    // What was bound, as a tool's port table takes it.
    const bool v6 = address.ss_family == AF_INET6;
    m_tcpAddress = (v6 ? "[" : "") + std::string(boundHost) + (v6 ? "]:" : ":") + port;
    return true;
}

void SimTransport::Stop()
{
    m_stop = true;
    uint64_t one = 1;
    [[maybe_unused]] auto written = ::write(m_wakeFd, &one, sizeof one);
}

void SimTransport::DropOutput(Link& link)
{
    link.output.clear();
    link.outputBytes = 0;
    link.written = 0;
}

void SimTransport::CloseLink(Link& link)
{
    CloseFd(link.fd);
    link.attached = false;
    link.reader.Reset();
    link.input.clear();
    link.inputBytes = 0;
    DropOutput(link);
}

// A pulled cable: the line disappears for the tool, and so does its by-id
// name, as udev removes it.
void SimTransport::HangUp()
{
    CloseAll();
    m_hungUp = true;
    m_log.Event("line_closed");
}

void SimTransport::CloseAll()
{
    CloseLink(m_pty);
    CloseLink(m_client);
    CloseFd(m_listenFd);
    CloseFd(m_inotifyFd);
    m_byIdDue.reset();
    for (std::string* link : {&m_byIdPath, &m_byPathPath}) {
        if (!link->empty())
            ::unlink(link->c_str());
        link->clear();
    }
}

SimTransport::Clock::duration SimTransport::LineTime(size_t bytes) const
{
    if (m_options.lineRate == 0)
        return {};
    std::chrono::duration<double> seconds(bytes * sim::kBitsPerByte8N1 / m_options.lineRate);
    return std::chrono::duration_cast<Clock::duration>(seconds);
}

void SimTransport::Run()
{
    while (!m_stop) {
        enum Slot { kWake, kInotify, kPty, kListen, kClient, kSlots };
        pollfd fds[kSlots];
        auto watch = [&](Slot slot, int fd, const Link* link) {
            short events = POLLIN;
            if (link && !link->output.empty() && link->output.front().due <= Clock::now())
                events |= POLLOUT;
            fds[slot] = {fd, events, 0};
        };
        watch(kWake, m_wakeFd, nullptr);
        watch(kInotify, m_inotifyFd, nullptr);
        watch(kPty, m_pty.attached ? m_pty.fd : -1, &m_pty);
        watch(kListen, m_listenFd, nullptr);
        watch(kClient, m_client.fd, &m_client);

        Clock::time_point due;
        timespec timeout{};
        timespec* wait = nullptr;
        if (NextDue(due)) {
            auto left = std::max<Clock::duration>(due - Clock::now(), Clock::duration::zero());
            auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
            timeout = {static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
            wait = &timeout;
        }
        if (::ppoll(fds, kSlots, wait, nullptr) < 0 && errno != EINTR)
            break;
        if (fds[kWake].revents)
            Drain(m_wakeFd);
        if (fds[kInotify].revents) {
            Drain(m_inotifyFd);
            OnSlaveOpened();
        } else if (LookingForOpen() && SlaveOpen()) {
            OnSlaveOpened();
        }
        if (fds[kPty].revents & (POLLIN | POLLHUP | POLLERR))
            ReadFrom(m_pty);
        if (fds[kListen].revents)
            AcceptClient();
        if (fds[kClient].revents & (POLLIN | POLLHUP | POLLERR))
            ReadFrom(m_client);
        RunDue(m_pty);
        RunDue(m_client);
        PlaceByIdLink();
    }
}

bool SimTransport::NextDue(Clock::time_point& due) const
{
    bool any = false;
    auto consider = [&](Clock::time_point at) {
        due = any ? std::min(due, at) : at;
        any = true;
    };
    auto now = Clock::now();
    if (m_byIdDue)
        consider(*m_byIdDue);
    if (LookingForOpen())
        consider(now + kOpenLook);
    for (const Link* link : {&m_pty, &m_client}) {
        if (!link->input.empty())
            consider(link->input.front().due);
        // A due answer waits for POLLOUT, not for a timer.
        if (!link->output.empty() && link->output.front().due > now)
            consider(link->output.front().due);
    }
    return any;
}

bool SimTransport::LookingForOpen() const
{
    return m_inotifyFd < 0 && m_pty.fd >= 0 && !m_pty.attached;
}

// The master stops reporting the hang-up while a tool has the line open,
// and reports what a tool wrote before it closed the line again.
bool SimTransport::SlaveOpen() const
{
    pollfd master{m_pty.fd, POLLIN, 0};
    return ::poll(&master, 1, 0) >= 0 && (!(master.revents & POLLHUP) || (master.revents & POLLIN));
}

void SimTransport::OnSlaveOpened()
{
    if (m_pty.fd < 0 || m_pty.attached)
        return;
    m_pty.attached = true;
    DropOutput(m_pty); // answers meant for the tool that left
}

void SimTransport::AcceptClient()
{
    int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0)
        return;
    if (m_client.fd >= 0) {
        ::close(fd); // one tool at a time, as on a serial line
        m_log.Event("tcp_refused");
        return;
    }
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    m_client.fd = fd;
    m_client.attached = true;
    m_log.Event("tcp_connected");
}

void SimTransport::ReadFrom(Link& link)
{
    uint8_t buffer[kReadChunk];
    while (link.fd >= 0 && !m_hungUp) {
        ssize_t n = ::read(link.fd, buffer, sizeof buffer);
        if (n > 0) {
            Receive(link, buffer, static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            return;
        // The tool closed the line: a pseudo-terminal stays for the next
        // open, a TCP connection is gone.
        if (&link == &m_client) {
            CloseLink(link);
            m_log.Event("tcp_closed");
        } else {
            link.attached = false;
            link.reader.Reset();
            DropOutput(link);
        }
        return;
    }
}

void SimTransport::Receive(Link& link, const uint8_t* data, size_t count)
{
    std::vector<uint8_t> bytes(data, data + count);
    if (m_options.lineRate == 0) {
        Process(link, bytes);
        return;
    }
    if (link.inputBytes + count > sim::kMaxPendingInput) {
        m_log.Event("input_overrun", {{"dropped", count}});
        return;
    }
    Clock::time_point due = std::max(Clock::now(), link.inputFree) + LineTime(count);
    link.inputFree = due;
    link.inputBytes += count;
    link.input.push_back({due, std::move(bytes)});
}

void SimTransport::Process(Link& link, const std::vector<uint8_t>& bytes)
{
    std::vector<SimInput> inputs;
    link.reader.Feed(bytes.data(), bytes.size(), inputs);
    for (const SimInput& input : inputs) {
        SimHandset::Reaction reaction = m_handset.OnInput(input);
        FollowMode();
        if (reaction.hangUp) {
            HangUp();
            return;
        }
        if (reaction.bytes.empty())
            continue;
        Clock::time_point due = Clock::now() + reaction.delay + Pacing::Instance().Scaled(m_options.delayMs);
        for (AnswerSlicer::Piece& piece : m_slicer.Slice(std::move(reaction.bytes)))
            Queue(link, std::move(piece.bytes), due + Pacing::Instance().Scaled(static_cast<uint32_t>(piece.after.count())));
        due = link.output.empty() ? due : std::max(due, link.output.back().due);
        if (m_options.garbageBytes) {
            std::vector<uint8_t> junk(m_options.garbageBytes);
            std::uniform_int_distribution<int> byte(0, 0x7D);
            for (uint8_t& b : junk)
                b = static_cast<uint8_t>(byte(m_noise));
            junk.push_back(0x7E);
            Queue(link, std::move(junk), due + Pacing::Instance().Scaled(kGarbageGapMs));
        }
    }
}

void SimTransport::Queue(Link& link, std::vector<uint8_t> bytes, Clock::time_point due)
{
    if (link.outputBytes + bytes.size() > sim::kMaxPendingOutput) {
        m_log.Event("output_overrun", {{"dropped", bytes.size()}});
        return;
    }
    link.outputBytes += bytes.size();
    if (m_options.lineRate) {
        due = std::max(due, link.outputFree) + LineTime(bytes.size());
        link.outputFree = due;
    }
    link.output.push_back({due, std::move(bytes)});
}

void SimTransport::RunDue(Link& link)
{
    while (!link.input.empty() && link.input.front().due <= Clock::now() && !m_hungUp) {
        Timed entry = std::move(link.input.front());
        link.input.pop_front();
        link.inputBytes -= entry.bytes.size();
        Process(link, entry.bytes);
    }
    FlushOutput(link);
}

void SimTransport::FlushOutput(Link& link)
{
    while (link.fd >= 0 && link.attached && !link.output.empty() && link.output.front().due <= Clock::now()) {
        const std::vector<uint8_t>& bytes = link.output.front().bytes;
        ssize_t n = &link == &m_client ? ::send(link.fd, bytes.data() + link.written, bytes.size() - link.written, MSG_NOSIGNAL)
                                       : ::write(link.fd, bytes.data() + link.written, bytes.size() - link.written);
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            return; // the tool is not reading: POLLOUT brings us back
        if (n > 0 && link.written + static_cast<size_t>(n) < bytes.size()) {
            link.written += static_cast<size_t>(n);
            continue;
        }
        link.outputBytes -= bytes.size();
        link.output.pop_front(); // sent, or nobody is there to receive it
        link.written = 0;
    }
}
