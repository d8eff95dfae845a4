#include "comm/NetworkLink.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "comm/PortHold.h"

namespace corvanetov {

namespace {
constexpr int kConnectTimeoutMs = 3000; // for each address
// How long a new connection listens for a refusal. A server refuses as it
// accepts, so its answer is one network round trip away; this leaves room
// for a busy server on a slow network. Not a protocol pause: not scaled.
constexpr auto kRefusalWait = std::chrono::milliseconds(300);
constexpr size_t kRefusalMax = 256; // of a refusal's text, for the user
constexpr short kHungUp = POLLRDHUP | POLLHUP | POLLERR | POLLNVAL;

ssize_t Send(int fd, const uint8_t* data, size_t count)
{
    return ::send(fd, data, count, MSG_NOSIGNAL); // a closed peer is a lost link, not a signal
}

// What the server has sent and not yet been read, up to max bytes.
std::string Received(int fd, size_t max, int flags)
{
    std::string text(max, '\0');
    ssize_t n = ::recv(fd, text.data(), max, flags | MSG_DONTWAIT);
    text.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return text;
}

// A server's words: printable text and line ends. A handset's frames and
// the boot commands' answers are not.
// Whether the bytes begin as a line of text: a server's refusal is one, a
// handset's frame is not. Only the first line counts, since what follows it
// may arrive in the same read as the line or after it.
bool StartsAsText(const std::string& bytes)
{
    const auto lineEnd = std::find(bytes.begin(), bytes.end(), '\n');
    return std::all_of(bytes.begin(), lineEnd, [](char c) { return (c >= ' ' && c <= '~') || c == '\r' || c == '\t'; });
}

// The text as one line a terminal shows as it is: control characters
// become spaces, the ends are trimmed.
std::string OneLine(std::string text)
{
    std::replace_if(text.begin(), text.end(), [](char c) { return c < ' ' || c > '~'; }, ' ');
    const auto first = text.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : text.substr(first, text.find_last_not_of(' ') - first + 1);
}

int MillisecondsUntil(Transport::Clock::time_point deadline)
{
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Transport::Clock::now());
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
}
} // namespace

NetworkLink::~NetworkLink()
{
    Close();
}

bool NetworkLink::Open(const std::string& hostAndPort)
{
    return PortHold::Open(hostAndPort, *this);
}

bool NetworkLink::OpenNetwork(const std::string& hostAndPort)
{
    Close();
    auto colon = hostAndPort.rfind(':');
    if (colon == std::string::npos || colon == 0) {
        errno = EINVAL;
        return Failed(hostAndPort);
    }
    std::string host = hostAndPort.substr(0, colon);
    std::string port = hostAndPort.substr(colon + 1);
    // An IPv6 address is written in brackets, as in a URL.
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0 || !found) {
        errno = EHOSTUNREACH;
        return Failed(hostAndPort);
    }
    bool connected = Connect(found, hostAndPort);
    ::freeaddrinfo(found);
    return connected;
}

bool NetworkLink::Connect(const addrinfo* addresses, const std::string& name)
{
    Close();
    errno = EHOSTUNREACH;
    for (const addrinfo* address = addresses; address; address = address->ai_next) {
        if (ConnectTo(*address)) {
            int one = 1;
            ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            return Admitted(name);
        }
    }
    return Failed(name); // the last address's reason
}

bool NetworkLink::Admitted(const std::string& name)
{
    const auto deadline = Clock::now() + kRefusalWait;
    short awaited = POLLIN | POLLRDHUP;
    for (;;) {
        pollfd pfd{m_fd, awaited, 0};
        const int ready = ::poll(&pfd, 1, MillisecondsUntil(deadline));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return true; // silent, or still saying something that is no refusal
        if (pfd.revents & kHungUp)
            return Refused(name, Received(m_fd, kRefusalMax, 0));
        if (!StartsAsText(Received(m_fd, kRefusalMax, MSG_PEEK)))
            return true;
        awaited = POLLRDHUP; // text: a refusal ends with the hang-up
    }
}

bool NetworkLink::Refused(const std::string& name, const std::string& said)
{
    Close();
    const std::string text = OneLine(said);
    if (text.rfind(kServerBusy, 0) == 0)
        return Failed(name, kInUse, EADDRINUSE);
    if (text.empty())
        return Failed(name, "the network serial server hung up at once", ECONNRESET);
    return Failed(name, "the network serial server refused the connection: " + text, ECONNREFUSED);
}

bool NetworkLink::OpenShared(const NetworkLink& keeper)
{
    Close();
    m_fd = ::fcntl(keeper.m_fd, F_DUPFD_CLOEXEC, 0);
    return m_fd >= 0 || Failed("the held network link");
}

bool NetworkLink::LinkGone() const
{
    pollfd pfd{m_fd, POLLRDHUP, 0};
    return m_fd < 0 || (::poll(&pfd, 1, 0) == 1 && (pfd.revents & kHungUp));
}

bool NetworkLink::ConnectTo(const addrinfo& address)
{
    m_fd = ::socket(address.ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_fd < 0)
        return false;
    int error = 0;
    if (::connect(m_fd, address.ai_addr, address.ai_addrlen) != 0) {
        error = errno;
        pollfd pfd{m_fd, POLLOUT, 0};
        socklen_t length = sizeof error;
        if (error == EINPROGRESS)
            error = ::poll(&pfd, 1, kConnectTimeoutMs) != 1                                ? ETIMEDOUT
                    : ::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 ? errno
                                                                                        : error;
    }
    if (error == 0)
        return true;
    Close();
    errno = error;
    return false;
}

bool NetworkLink::Configure(const LineSettings&)
{
    if (!IsOpen())
        return false;
    // The server owns the line settings.
    while (!Received(m_fd, kRefusalMax, 0).empty()) {
    }
    return true;
}

Transport::ReadResult NetworkLink::Read(uint8_t* buffer, size_t max, size_t& count)
{
    count = 0;
    ssize_t n = m_fd >= 0 ? ::recv(m_fd, buffer, max, 0) : 0;
    if (n > 0) {
        count = static_cast<size_t>(n);
        return ReadResult::Data;
    }
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return ReadResult::Empty;
    return ReadResult::Lost; // 0: the server hung up
}

bool NetworkLink::Write(const uint8_t* data, size_t count, Clock::time_point deadline, bool (*abandon)())
{
    return WriteWhole(m_fd, &Send, data, count, deadline, abandon);
}

bool NetworkLink::Drain(Clock::time_point, bool (*)())
{
    return IsOpen(); // the server's queue is out of reach
}

void NetworkLink::Discard() {}

void NetworkLink::Close()
{
    if (m_fd < 0)
        return;
    ::close(m_fd);
    m_fd = -1;
}

} // namespace corvanetov
