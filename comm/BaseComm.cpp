#include "comm/BaseComm.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <poll.h>
#include <utility>
#include <sys/eventfd.h>
#include <unistd.h>

#include "comm/NetworkLink.h"
#include "comm/PortResolver.h"
#include "comm/SerialDevice.h"
#include "comm/TracedBytes.h"
#include "platform/NamedEventRegistry.h"
#include "platform/Pacing.h"
#include "platform/Trace.h"

namespace corvanetov {

namespace {
constexpr uint32_t kReopenSettleMs = 500;
constexpr uint32_t kReopen115200PauseMs = 200;
constexpr uint32_t kReopen9600PauseMs = 100;

bool StopRequested()
{
    return Pacing::Instance().StopRequested();
}

void DrainWake(int fd)
{
    uint64_t value = 0;
    while (::read(fd, &value, sizeof value) > 0) {
    }
}
} // namespace

BaseComm::~BaseComm()
{
    Close();
    m_responseEvent.reset();
}

void BaseComm::Configure(uint8_t port, uint32_t baud, uint8_t byteSize, uint8_t stopBits, uint8_t parity)
{
    m_port = port;
    m_baud = baud;
    m_byteSize = byteSize;
    m_stopBits = stopBits;
    m_parity = parity;
}

bool BaseComm::CreateIoEvents()
{
    if (m_wakeFd < 0)
        m_wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    return m_wakeFd >= 0;
}

bool BaseComm::Close()
{
    if (m_connected)
        Disconnect();
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
    m_wakeFd = -1;
    return true;
}

bool BaseComm::Open()
{
    if (m_connected)
        Disconnect();
    std::string target = PortResolver::Instance().Resolve(m_port);
    std::string comName = PortResolver::ComName(m_port);
    TRACE("\nOpening %s\n", target.empty() ? comName.c_str() : target.c_str());
    // Port 0 is none at all: the Port Setting dialog was cancelled on a
    // first run, and "COM0" would read like a port of the machine's.
    if (target.empty())
        return FailOpen(m_port == 0 ? std::string("No port is chosen (Setup > Port Setting)")
                                    : comName + " is not assigned to a device",
                        ENXIO);
    if (m_wakeFd < 0)
        return FailOpen("no I/O events for " + target, 0);
    if (m_port >= comm::kNetworkPortFirst)
        m_link = std::make_unique<NetworkLink>();
    else
        m_link = std::make_unique<SerialDevice>();
    if (!m_link->Open(target))
        return FailOpen(m_link->LastError(), m_link->LastErrorNumber());
    if (!ApplyLineSettings()) {
        m_link->Close();
        return FailOpen(target + ": line settings refused", 0);
    }
    m_openError.clear();
    m_openErrorNumber = 0;
    m_lineLost = false;
    DrainWake(m_wakeFd);
    m_connected = 1;
    m_receiveThread = std::thread(&BaseComm::ReceiveLoop, this);
    return true;
}

bool BaseComm::FailOpen(const std::string& reason, int errorNumber)
{
    m_openError = reason;
    m_openErrorNumber = errorNumber;
    return false;
}

bool BaseComm::ApplyLineSettings()
{
    return m_link && m_link->Configure({m_baud, m_byteSize, m_parity, m_stopBits});
}

bool BaseComm::Disconnect()
{
    m_connected = 0;
    if (m_wakeFd >= 0) {
        uint64_t one = 1;
        [[maybe_unused]] auto written = ::write(m_wakeFd, &one, sizeof one);
    }
    if (m_receiveThread.joinable() && m_receiveThread.get_id() != std::this_thread::get_id())
        m_receiveThread.join();
    if (!m_link)
        return true;
    // What was written is the handset's: a reset sent just before the port
    // is let go must still reach it (the write waited for it to leave).
    // Only a stop abandons what is still queued, so that the port is free
    // at once.
    if (StopRequested())
        m_link->Discard();
    m_link->Close();
    return true;
}

void BaseComm::ReceiveLoop()
{
    std::array<uint8_t, comm::kReadChunk> buffer{};
    while (m_connected) {
        pollfd fds[2] = {{m_wakeFd, POLLIN, 0}, {m_lineLost ? -1 : m_link->Descriptor(), POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[0].revents) {
            DrainWake(m_wakeFd);
            continue;
        }
        if (fds[1].revents & POLLIN) {
            uint32_t n = 0;
            do {
                buffer.fill(0);
                n = ReadBatch(buffer.data(), comm::kReadChunk);
                if (n)
                    OnReceive(buffer.data(), n);
            } while (n > 0 && m_connected);
        }
        if (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL))
            MarkLineLost(); // the device went away: wait only for Disconnect from now on
    }
}

// What arrived, and what follows it while the line is busy: a frame's bytes
// are handed over together, as one chunk, however the device delivered
// them. A chunk that ends like a whole answer goes at once; otherwise the
// line has its settle time to bring the rest.
uint32_t BaseComm::ReadBatch(uint8_t* buffer, uint32_t maxCount)
{
    uint32_t count = Read(buffer, maxCount);
    while (count > 0 && count < maxCount && !ChunkLooksWhole(buffer, count) && m_connected) {
        pollfd line{m_link->Descriptor(), POLLIN, 0};
        auto settle = std::chrono::duration_cast<std::chrono::milliseconds>(Pacing::Instance().Scaled(comm::kReadSettleMs));
        if (::poll(&line, 1, static_cast<int>(std::max<std::chrono::milliseconds::rep>(settle.count(), 1))) <= 0)
            break;
        uint32_t more = Read(buffer + count, maxCount - count);
        if (more == 0)
            break;
        count += more;
    }
    return count;
}

bool BaseComm::ChunkLooksWhole(const uint8_t*, uint32_t) const
{
    return true;
}

uint32_t BaseComm::Read(uint8_t* buffer, uint32_t maxCount)
{
    size_t count = 0;
    if (!m_link || m_link->Read(buffer, maxCount, count) == Transport::ReadResult::Lost) {
        MarkLineLost();
        return 0;
    }
    return static_cast<uint32_t>(count);
}

bool BaseComm::Write(const uint8_t* bytes, uint32_t count)
{
    return WriteTraced(bytes, count, false);
}

bool BaseComm::WriteLong(const uint8_t* bytes, uint32_t count)
{
    return WriteTraced(bytes, count, true);
}

bool BaseComm::WriteTraced(const uint8_t* bytes, uint32_t count, bool longTrace)
{
    const size_t visible = std::exchange(m_nextTraceVisible, TracedBytes::kAllVisible);
    if (!m_connected)
        return false;
    if (Trace::Instance().Enabled())
        TraceWrite(bytes, count, longTrace, visible);
    if (m_lineLost)
        return false;
    // The whole write, until its bytes have left the device, within the one
    // time-out.
    const auto deadline = Transport::Clock::now() + std::chrono::milliseconds(comm::kWriteTimeoutMs);
    return m_link->Write(bytes, count, deadline, &StopRequested) && m_link->Drain(deadline, &StopRequested);
}

void BaseComm::TraceWrite(const uint8_t* bytes, uint32_t count, bool longTrace, size_t visible)
{
    char head[24];
    if (longTrace)
        std::snprintf(head, sizeof head, "\nTX(%d) : ", static_cast<int>(count));
    else
        std::snprintf(head, sizeof head, "\nTX : ");
    const size_t limit = longTrace ? comm::kTraceLongBytes : comm::kTraceShortBytes;
    const std::string line = head + TracedBytes::Format(bytes, count, longTrace ? "%02x " : "%x ", limit, visible);
    TRACE("%s", line.c_str());
}

bool BaseComm::Reopen(uint8_t port, uint32_t baud, uint32_t pauseMs)
{
    Close();
    m_receiveBaud = baud;
    Configure(port, baud, comm::kByteSize, comm::kOneStopBit, comm::kNoParity);
    if (!Pacing::Instance().Sleep(pauseMs))
        return false;
    CreateIoEvents();
    if (!Pacing::Instance().Sleep(pauseMs) || !Open())
        return false;
    return Pacing::Instance().Sleep(kReopenSettleMs);
}

bool BaseComm::ReopenAt115200(uint8_t port)
{
    return Reopen(port, comm::kDiagBaud, kReopen115200PauseMs);
}

bool BaseComm::ReopenAt9600(uint8_t port)
{
    return Reopen(port, comm::kRawReceiveBaud, kReopen9600PauseMs);
}

void BaseComm::CreateResponseEvent(int index)
{
    char name[128];
    std::snprintf(name, sizeof name, comm::kResponseEventFormat, index);
    m_responseEventName = name;
    m_responseEvent = NamedEventRegistry::Instance().Create(m_responseEventName);
}

std::string BaseComm::ResponseEventName() const
{
    return m_responseEventName;
}

void BaseComm::OnReceive(const uint8_t*, uint32_t) {}

void BaseComm::SignalResponse()
{
    if (auto event = NamedEventRegistry::Instance().Open(m_responseEventName))
        event->Set();
}

// Set where the waits test it, so that a wait for an answer, which no
// longer can come, ends now rather than at its time-out: a cable pulled
// during a 150 s erase is told at once.
void BaseComm::MarkLineLost()
{
    std::lock_guard lock(Pacing::Instance().Mutex());
    m_lineLost = true;
    Pacing::Instance().NotifyAllLocked();
}

void BaseComm::ForgetResponse()
{
    if (auto event = NamedEventRegistry::Instance().Open(m_responseEventName))
        event->Reset();
}

} // namespace corvanetov
