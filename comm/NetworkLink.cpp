#include "comm/NetworkLink.h"

#include <cerrno>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace corvanetov {

namespace {
constexpr int kConnectTimeoutMs = 3000; // for each address

ssize_t Send(int fd, const uint8_t* data, size_t count)
{
    return ::send(fd, data, count, MSG_NOSIGNAL); // a closed peer is a lost link, not a signal
}
} // namespace

NetworkLink::~NetworkLink()
{
    Close();
}

bool NetworkLink::Open(const std::string& hostAndPort)
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
            return true;
        }
    }
    return Failed(name); // the last address's reason
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
    return IsOpen(); // the server owns the line settings
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
