#include "comm/SerialDevice.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

#include "comm/TransmitDrain.h"

namespace corvanetov {

namespace {
constexpr int kAccessRetries = 20;     // udev may grant access a moment after plug-in
constexpr auto kAccessRetryPause = std::chrono::milliseconds(50);
constexpr int kConnectTimeoutMs = 3000;
constexpr int kWriteSliceMs = 20;      // how often a blocked write looks at abandon()
constexpr char kInUse[] = " is in use by another program";

bool BaudToSpeed(uint32_t baud, speed_t& speed)
{
    switch (baud) {
    case 9600: speed = B9600; return true;
    case 19200: speed = B19200; return true;
    case 38400: speed = B38400; return true;
    case 57600: speed = B57600; return true;
    case 115200: speed = B115200; return true;
    case 230400: speed = B230400; return true;
    case 460800: speed = B460800; return true;
    case 921600: speed = B921600; return true;
    default: return false;
    }
}

tcflag_t ByteSizeFlag(uint8_t byteSize)
{
    switch (byteSize) {
    case 5: return CS5;
    case 6: return CS6;
    case 7: return CS7;
    default: return CS8;
    }
}
} // namespace

SerialDevice::~SerialDevice()
{
    Close();
}

bool SerialDevice::FailWith(const std::string& what)
{
    m_lastErrorNumber = errno;
    m_lastError = what + ": " + std::strerror(m_lastErrorNumber);
    Close();
    return false;
}

bool SerialDevice::OpenSerial(const std::string& path)
{
    Close();
    m_isSocket = false;
    for (int attempt = 0; attempt < kAccessRetries; ++attempt) {
        m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (m_fd >= 0 || errno != EACCES)
            break;
        std::this_thread::sleep_for(kAccessRetryPause);
    }
    // Another program's exclusive flag refuses the open itself (EBUSY) for
    // anyone but root; its lock refuses root below.
    if (m_fd < 0)
        return FailWith(errno == EBUSY ? path + kInUse : path);
    // flock keeps out other programs that lock; TIOCEXCL keeps out those that
    // do not. Either alone leaves a window between two openers.
    if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0)
        return FailWith(path + kInUse);
    if (::ioctl(m_fd, TIOCEXCL) == 0)
        m_exclusive = true;
    else if (errno != ENOTTY && errno != EINVAL)
        return FailWith(path);
    return true;
}

bool SerialDevice::OpenNetwork(const std::string& hostAndPort)
{
    Close();
    m_isSocket = true;
    auto colon = hostAndPort.rfind(':');
    if (colon == std::string::npos || colon == 0) {
        errno = EINVAL;
        return FailWith(hostAndPort);
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
        return FailWith(hostAndPort);
    }
    m_fd = ::socket(found->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    int rc = m_fd >= 0 ? ::connect(m_fd, found->ai_addr, found->ai_addrlen) : -1;
    ::freeaddrinfo(found);
    if (m_fd < 0 || (rc != 0 && errno != EINPROGRESS))
        return FailWith(hostAndPort);
    pollfd pfd{m_fd, POLLOUT, 0};
    int error = 0;
    socklen_t length = sizeof error;
    if (::poll(&pfd, 1, kConnectTimeoutMs) != 1 || ::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error) {
        errno = error ? error : ETIMEDOUT;
        return FailWith(hostAndPort);
    }
    int one = 1;
    ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return true;
}

bool SerialDevice::OpenShared(const SerialDevice& keeper)
{
    Close();
    m_isSocket = keeper.m_isSocket;
    m_baud = keeper.m_baud;
    m_fd = ::fcntl(keeper.m_fd, F_DUPFD_CLOEXEC, 0);
    return m_fd >= 0 || FailWith("a second descriptor of the port");
}

void SerialDevice::HandOverTo(SerialDevice& keeper)
{
    if (!keeper.OpenShared(*this))
        return;
    keeper.m_exclusive = m_exclusive;
    m_exclusive = false;
}

bool SerialDevice::LineGone() const
{
    pollfd line{m_fd, 0, 0};
    return m_fd < 0 || (::poll(&line, 1, 0) > 0 && (line.revents & (POLLHUP | POLLERR | POLLNVAL)));
}

void SerialDevice::Close()
{
    if (m_fd < 0)
        return;
    // The exclusive flag belongs to the terminal, not to this descriptor: on
    // a pseudo-terminal it outlives the close and would refuse every later
    // open but root's, ours included. Only the one who set it clears it, so
    // a refused opener leaves the holder's flag alone. A line that is gone
    // answers EIO here, and its terminal goes with it.
    if (m_exclusive)
        ::ioctl(m_fd, TIOCNXCL);
    m_exclusive = false;
    ::close(m_fd);
    m_fd = -1;
}

bool SerialDevice::ApplyLineSettings(uint32_t baud, uint8_t byteSize, uint8_t parity, uint8_t stopBits)
{
    if (m_isSocket)
        return m_fd >= 0; // the network server owns the line settings
    termios tio{};
    speed_t speed{};
    if (m_fd < 0 || ::tcgetattr(m_fd, &tio) != 0 || !BaudToSpeed(baud, speed))
        return false;
    // Binary, raw bytes, no software flow control, no null stripping; hardware
    // output flow control stays as the line had it.
    tio.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY);
    tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB);
    tio.c_cflag |= ByteSizeFlag(byteSize) | CLOCAL | CREAD;
    if (parity == 1 || parity == 2) {
        tio.c_cflag |= PARENB | (parity == 1 ? PARODD : 0);
        tio.c_iflag |= INPCK;
    }
    if (stopBits == 2)
        tio.c_cflag |= CSTOPB;
    tio.c_cc[VSTART] = 0x11;
    tio.c_cc[VSTOP] = 0x13;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
    if (::tcsetattr(m_fd, TCSANOW, &tio) != 0)
        return false;
    m_baud = baud;
    ClearDtr();
    return true;
}

void SerialDevice::ClearDtr()
{
    if (m_fd < 0 || m_isSocket)
        return;
    int lines = TIOCM_DTR | TIOCM_RTS;
    ::ioctl(m_fd, TIOCMBIC, &lines); // a pseudo-terminal has no modem lines: ignored
}

void SerialDevice::Purge(bool output)
{
    if (m_fd >= 0 && !m_isSocket)
        ::tcflush(m_fd, output ? TCIOFLUSH : TCIFLUSH);
}

SerialDevice::ReadResult SerialDevice::Read(uint8_t* buffer, size_t max, size_t& count)
{
    count = 0;
    if (m_fd < 0)
        return ReadResult::Lost;
    ssize_t n = ::read(m_fd, buffer, max);
    if (n > 0) {
        count = static_cast<size_t>(n);
        return ReadResult::Data;
    }
    // A line without VMIN reads 0 when empty; only a socket's 0 is its end.
    if ((n == 0 && !m_isSocket) || (n < 0 && (errno == EAGAIN || errno == EINTR)))
        return ReadResult::Empty;
    return ReadResult::Lost; // the peer went away, or a dead line (EIO)
}

bool SerialDevice::WriteAll(const uint8_t* data, size_t count, uint32_t timeoutMs, bool (*abandon)())
{
    if (m_fd < 0)
        return false;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    size_t done = 0;
    while (done < count) {
        ssize_t n = m_isSocket ? ::send(m_fd, data + done, count - done, MSG_NOSIGNAL) : ::write(m_fd, data + done, count - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        if (std::chrono::steady_clock::now() >= deadline || (abandon && abandon()))
            return false;
        pollfd pfd{m_fd, POLLOUT, 0};
        ::poll(&pfd, 1, kWriteSliceMs);
        if (pfd.revents & (POLLERR | POLLHUP | POLLNVAL))
            return false;
    }
    return m_isSocket || TransmitDrain::Wait([this] { return QueuedOutput(); }, m_baud, deadline, abandon);
}

int SerialDevice::QueuedOutput() const
{
    int queued = 0;
    return ::ioctl(m_fd, TIOCOUTQ, &queued) == 0 ? queued : -1;
}

} // namespace corvanetov
