#include "comm/SerialDevice.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>
#include <utility>

#include "comm/PortHold.h"
#include "comm/TransmitDrain.h"

namespace corvanetov {

namespace {
constexpr int kAccessRetries = 20; // udev may grant access a moment after plug-in
constexpr auto kAccessRetryPause = std::chrono::milliseconds(50);
constexpr char kInUse[] = " is in use by another program";
constexpr cc_t kXon = 0x11;
constexpr cc_t kXoff = 0x13;

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

// What a driver must keep of the settings asked for: the speed, the frame
// and that neither kind of flow control is on.
constexpr tcflag_t kCheckedControl = CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS;
constexpr tcflag_t kCheckedInput = IXON | IXOFF | IXANY;

bool Took(const termios& asked, const termios& got)
{
    return (asked.c_cflag & kCheckedControl) == (got.c_cflag & kCheckedControl)
        && (asked.c_iflag & kCheckedInput) == (got.c_iflag & kCheckedInput) && cfgetospeed(&asked) == cfgetospeed(&got)
        && cfgetispeed(&asked) == cfgetispeed(&got);
}
} // namespace

SerialDevice::~SerialDevice()
{
    Close();
}

bool SerialDevice::FailWith(const std::string& what)
{
    Failed(what);
    int error = errno;
    Close();
    errno = error;
    return false;
}

bool SerialDevice::Open(const std::string& path)
{
    return PortHold::Open(path, *this);
}

bool SerialDevice::OpenSerial(const std::string& path)
{
    Close();
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
    m_restore = ::tcgetattr(m_fd, &m_found) == 0;
    return true;
}

bool SerialDevice::OpenShared(const SerialDevice& keeper)
{
    Close();
    m_baud = keeper.m_baud;
    m_fd = ::fcntl(keeper.m_fd, F_DUPFD_CLOEXEC, 0);
    return m_fd >= 0 || FailWith("a second descriptor of the port");
}

void SerialDevice::HandOverTo(SerialDevice& keeper)
{
    if (!keeper.OpenShared(*this))
        return;
    keeper.m_exclusive = std::exchange(m_exclusive, false);
    keeper.m_restore = std::exchange(m_restore, false);
    keeper.m_found = m_found;
}

bool SerialDevice::LineGone() const
{
    pollfd line{m_fd, 0, 0};
    return m_fd < 0 || (::poll(&line, 1, 0) > 0 && (line.revents & (POLLHUP | POLLERR | POLLNVAL)));
}

bool SerialDevice::Configure(const LineSettings& settings)
{
    termios tio{};
    speed_t speed{};
    if (m_fd < 0 || ::tcgetattr(m_fd, &tio) != 0 || !BaudToSpeed(settings.baud, speed))
        return false;
    // Stale input only: output still on its way is a previous channel's last
    // request (on a pseudo-terminal it waits there until the other side
    // takes it in), and the handset must still get it.
    ::tcflush(m_fd, TCIFLUSH);
    cfmakeraw(&tio);
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    tio.c_cflag |= ByteSizeFlag(settings.byteSize) | CLOCAL | CREAD;
    if (settings.parity == 1 || settings.parity == 2) {
        tio.c_cflag |= PARENB | (settings.parity == 1 ? PARODD : 0);
        tio.c_iflag |= INPCK;
    }
    if (settings.stopBits == 2)
        tio.c_cflag |= CSTOPB;
    tio.c_cc[VSTART] = kXon;
    tio.c_cc[VSTOP] = kXoff;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
    // tcsetattr succeeds when the driver took any of it: only reading the
    // settings back tells whether it took all that matters.
    termios got{};
    if (::tcsetattr(m_fd, TCSANOW, &tio) != 0 || ::tcgetattr(m_fd, &got) != 0 || !Took(tio, got))
        return false;
    m_baud = settings.baud;
    ClearModemLines();
    return true;
}

void SerialDevice::ClearModemLines()
{
    int lines = TIOCM_DTR | TIOCM_RTS;
    ::ioctl(m_fd, TIOCMBIC, &lines); // a pseudo-terminal has no modem lines: ignored
}

void SerialDevice::Discard()
{
    if (m_fd >= 0)
        ::tcflush(m_fd, TCIOFLUSH);
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
    // A line without VMIN reads 0 when empty.
    if (n == 0 || errno == EAGAIN || errno == EINTR)
        return ReadResult::Empty;
    return ReadResult::Lost; // a dead line (EIO)
}

bool SerialDevice::Write(const uint8_t* data, size_t count, Clock::time_point deadline, bool (*abandon)())
{
    return WriteWhole(m_fd, [](int fd, const uint8_t* bytes, size_t n) { return ::write(fd, bytes, n); }, data, count,
                      deadline, abandon);
}

bool SerialDevice::Drain(Clock::time_point deadline, bool (*abandon)())
{
    return m_fd >= 0 && TransmitDrain::Wait([this] { return QueuedOutput(); }, m_baud, deadline, abandon);
}

int SerialDevice::QueuedOutput() const
{
    int queued = 0;
    return ::ioctl(m_fd, TIOCOUTQ, &queued) == 0 ? queued : -1;
}

void SerialDevice::Close()
{
    if (m_fd < 0)
        return;
    ClearModemLines();
    // The exclusive flag belongs to the terminal, not to this descriptor: on
    // a pseudo-terminal it outlives the close and would refuse every later
    // open but root's, ours included. Only the one who set it clears it, so
    // a refused opener leaves the holder's flag alone; the settings go back
    // the same way, once the last of ours lets go. A line that is gone
    // answers EIO here, and its terminal goes with it.
    if (m_restore)
        ::tcsetattr(m_fd, TCSANOW, &m_found);
    if (m_exclusive)
        ::ioctl(m_fd, TIOCNXCL);
    m_exclusive = false;
    m_restore = false;
    ::close(m_fd);
    m_fd = -1;
}

} // namespace corvanetov
