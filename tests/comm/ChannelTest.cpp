#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <future>
#include <memory>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sstream>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

#include "AnswerFrame.h"
#include "PtyPair.h"
#include "comm/NetworkLink.h"
#include "comm/OpenFailureReason.h"
#include "comm/PortResolver.h"
#include "comm/ScopedPortHold.h"
#include "comm/TransmitDrain.h"
#include "diag/DiagChannel.h"
#include "diag/DiagRequests.h"
#include "diag/Exchange.h"
#include "platform/Pacing.h"
#include "platform/Trace.h"

using namespace corvanetov;

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

namespace {
constexpr uint8_t kPort = 3;
constexpr uint8_t kNetworkPort = 130;

// A descriptor of the test's own on the channel's device, opened before the
// channel: the exclusive flag refuses only later opens, so through this one
// the test sees the flag, as root and as anyone else, and the line settings.
class LineWatch {
public:
    explicit LineWatch(const std::string& path) : m_fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {}
    ~LineWatch() { ::close(m_fd); }
    LineWatch(const LineWatch&) = delete;
    LineWatch& operator=(const LineWatch&) = delete;

    bool Watching() const { return m_fd >= 0; }
    int Flag() const
    {
        int flag = -1;
        ::ioctl(m_fd, TIOCGEXCL, &flag);
        return flag;
    }
    termios Settings() const
    {
        termios settings{};
        ::tcgetattr(m_fd, &settings);
        return settings;
    }
    // Settings another program might have left: a cooked line of 7 data
    // bits, even parity, 9600 baud, with both kinds of flow control.
    termios LeaveOthers() const
    {
        termios others = Settings();
        others.c_lflag |= ICANON | ECHO | ISIG;
        others.c_iflag |= IXON | IXOFF | ICRNL;
        others.c_oflag |= OPOST;
        others.c_cflag = (others.c_cflag & ~CSIZE) | CS7 | PARENB | CRTSCTS;
        cfsetispeed(&others, B9600);
        cfsetospeed(&others, B9600);
        ::tcsetattr(m_fd, TCSANOW, &others);
        return Settings();
    }

private:
    int m_fd;
};

bool SameSettings(const termios& a, const termios& b)
{
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag && a.c_lflag == b.c_lflag
        && cfgetospeed(&a) == cfgetospeed(&b) && cfgetispeed(&a) == cfgetispeed(&b);
}

// What the channel talks on: raw 8N1 at the baud, no flow control at all.
::testing::AssertionResult RawAt(const termios& settings, speed_t speed)
{
    const bool raw = !(settings.c_lflag & (ICANON | ECHO | ISIG)) && !(settings.c_oflag & OPOST)
        && !(settings.c_iflag & (IXON | IXOFF | IXANY | ICRNL)) && (settings.c_cflag & CSIZE) == CS8
        && !(settings.c_cflag & (PARENB | CSTOPB | CRTSCTS)) && cfgetospeed(&settings) == speed;
    if (raw)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << std::hex << "iflag " << settings.c_iflag << " oflag " << settings.c_oflag
                                         << " cflag " << settings.c_cflag << " lflag " << settings.c_lflag;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}
} // namespace

class Channel : public ::testing::Test {
protected:
    PtyPair pty;
    Exchange exchange;

    void SetUp() override
    {
        Pacing::Instance().ClearStop();
        std::string path = pty.SlavePath();
        PortResolver::Instance().Set([path](uint8_t port) { return port == kPort ? path : std::string(); });
    }
    void TearDown() override { PortResolver::Instance().Set(nullptr); }

    static bool OpenChannel(DiagChannel& channel, uint8_t port = kPort)
    {
        channel.CreateResponseEvent(0);
        channel.Configure(port, 115200, 8, 0, 0);
        channel.CreateIoEvents();
        bool opened = channel.Open();
        channel.SetLeadFlag(0);
        return opened;
    }
};

TEST_F(Channel, RequestGoesOutAndAnswerComesBack)
{
    DiagChannel channel;
    ASSERT_TRUE(OpenChannel(channel));
    DiagRequests::StatusRequest(channel);
    EXPECT_EQ((Bytes{0x0C, 0x14, 0x3A, 0x7E}), pty.ReadUpTo(4, 2s));
    pty.Write(AnswerFrame({0x0C, 0x00, 0x00, 0x00, 0x78, 0x56, 0x34, 0x12}));
    ASSERT_EQ(Exchange::kAnswer, exchange.WaitResponse(channel, 200000));
    EXPECT_EQ(0x0C, exchange.CurrentResponse()[0]);
    EXPECT_EQ(0x78, exchange.CurrentResponse()[4]);
    EXPECT_TRUE(channel.Close());
    EXPECT_FALSE(channel.IsConnected());
}

TEST_F(Channel, WritesNeedAnOpenChannel)
{
    DiagChannel neverOpened;
    EXPECT_TRUE(neverOpened.Close());
    const uint8_t byte = 0x0C;
    EXPECT_FALSE(neverOpened.Write(&byte, 1));

    DiagChannel channel;
    ASSERT_TRUE(OpenChannel(channel));
    EXPECT_TRUE(channel.Disconnect());
    EXPECT_FALSE(channel.Write(&byte, 1));
    EXPECT_TRUE(pty.ReadUntilQuiet(100ms).empty());
}

// A reset is sent just before the port is let go. More than the other side
// has yet taken in waits in the pseudo-terminal's buffer, as it would in a
// serial driver's transmit queue: letting go must not throw it away.
TEST_F(Channel, WhatWasWrittenBeforeLettingGoReachesTheHandset)
{
    DiagChannel channel;
    ASSERT_TRUE(OpenChannel(channel));
    Bytes written(8192, 0x5A);
    ASSERT_TRUE(channel.Write(written.data(), static_cast<uint32_t>(written.size())));
    channel.Disconnect();
    EXPECT_EQ(written.size(), pty.ReadUpTo(written.size(), 2s).size());
}

TEST_F(Channel, SecondOpenerOfTheSameDeviceIsRefused)
{
    DiagChannel first;
    DiagChannel second;
    LineWatch watch(pty.SlavePath());
    ASSERT_TRUE(watch.Watching());
    ASSERT_TRUE(OpenChannel(first));
    EXPECT_FALSE(OpenChannel(second));
    // Refused by the lock (root) or by the flag (anyone else): the same reason.
    EXPECT_NE(std::string::npos, second.OpenError().find("in use by another program")) << second.OpenError();
    EXPECT_EQ(1, watch.Flag()) << "a refused opener leaves the holder's flag alone";
    first.Close();
    EXPECT_TRUE(OpenChannel(second)) << second.OpenError();
}

// On a pseudo-terminal the flag outlives the descriptor; left behind, it
// refuses the close-and-reopen of connection set-up to anyone but root.
TEST_F(Channel, EveryCloseLeavesThePortFreeForTheNextOpener)
{
    LineWatch watch(pty.SlavePath());
    ASSERT_TRUE(watch.Watching());
    using Closer = std::function<void(std::unique_ptr<DiagChannel>&)>;
    const std::vector<std::pair<const char*, Closer>> closes = {
        {"Close", [](auto& channel) { channel->Close(); }},
        {"Disconnect", [](auto& channel) { channel->Disconnect(); }},
        {"destruction", [](auto& channel) { channel.reset(); }},
        {"reopen at another speed, then Close",
         [&](auto& channel) {
             ASSERT_TRUE(channel->ReopenAt9600(kPort)) << channel->OpenError();
             EXPECT_EQ(1, watch.Flag()) << "the reopened port is held exclusively again";
             EXPECT_TRUE(RawAt(watch.Settings(), B9600));
             channel->Close();
         }},
    };
    for (const auto& [how, close] : closes) {
        SCOPED_TRACE(how);
        const termios others = watch.LeaveOthers();
        auto channel = std::make_unique<DiagChannel>();
        ASSERT_TRUE(OpenChannel(*channel)) << channel->OpenError();
        EXPECT_EQ(1, watch.Flag()) << "the port is held exclusively";
        EXPECT_TRUE(RawAt(watch.Settings(), B115200));
        close(channel);
        EXPECT_EQ(0, watch.Flag());
        EXPECT_TRUE(SameSettings(others, watch.Settings())) << "the line as the channel found it";
        DiagChannel next;
        EXPECT_TRUE(OpenChannel(next)) << next.OpenError();
    }
}

// An operation's close and reopen leave no gap: another program (here, a
// channel on another thread) finds the port busy the whole time, while the
// operation's own reopen gets it at once.
TEST_F(Channel, HeldPortStaysTakenBetweenCloseAndReopen)
{
    LineWatch watch(pty.SlavePath());
    ASSERT_TRUE(watch.Watching());
    auto openedElsewhere = [] {
        return std::async(std::launch::async, [] {
            DiagChannel other;
            bool opened = OpenChannel(other);
            return opened ? std::string() : other.OpenError();
        }).get();
    };
    const termios others = watch.LeaveOthers();
    ScopedPortHold hold;
    DiagChannel channel;
    ASSERT_TRUE(OpenChannel(channel)) << channel.OpenError();
    for (int reopen = 0; reopen < 3; ++reopen) {
        channel.Close();
        EXPECT_EQ(1, watch.Flag()) << "still exclusive after close " << reopen;
        std::string refusal = openedElsewhere();
        EXPECT_NE(std::string::npos, refusal.find("in use by another program")) << refusal;
        ASSERT_TRUE(OpenChannel(channel)) << channel.OpenError();
    }
    DiagRequests::StatusRequest(channel);
    EXPECT_EQ((Bytes{0x0C, 0x14, 0x3A, 0x7E}), pty.ReadUpTo(4, 2s)) << "the reopened channel talks";

    // A handset that leaves the bus to restart is let go of meanwhile.
    channel.Close();
    hold.LetGo();
    EXPECT_EQ(0, watch.Flag());
    EXPECT_EQ("", openedElsewhere());
    ASSERT_TRUE(OpenChannel(channel)) << channel.OpenError();
    channel.Close();
    EXPECT_NE("", openedElsewhere()) << "held again from the next open";

    hold.Release();
    EXPECT_EQ(0, watch.Flag());
    EXPECT_TRUE(SameSettings(others, watch.Settings())) << "the line as the operation found it";
    EXPECT_EQ("", openedElsewhere()) << "free once the operation ends";
}

// A held line that went away is not reopened as if it were there: the
// reopen fails and says why.
TEST_F(Channel, HeldLineThatWentAwayReopensAfresh)
{
    ScopedPortHold hold;
    DiagChannel channel;
    ASSERT_TRUE(OpenChannel(channel)) << channel.OpenError();
    channel.Close();
    pty.CloseMaster();
    EXPECT_FALSE(OpenChannel(channel));
    EXPECT_NE(std::string::npos, channel.OpenError().find(pty.SlavePath())) << channel.OpenError();
    EXPECT_EQ(2u, OpenFailureReason::Lines(channel).size()) << OpenFailureReason::Text(channel);
}

// A write returns once its bytes have left the transmit queue, or says it
// could not wait that long: a close right after it must not cut them off.
TEST(TransmitDrainWait, ReturnsWhenTheQueueIsEmptyOrTheWaitEnds)
{
    using Clock = TransmitDrain::Clock;
    static bool stop = false;
    struct Case {
        const char* name;
        std::vector<int> queue; // what each look finds; the last repeats
        bool stopped;
        std::chrono::milliseconds budget;
        bool drained;
        size_t looks; // 0: at least two
    };
    const Case cases[] = {
        {"empties while waited on", {900, 300, 40, 0}, false, 1000ms, true, 4},
        {"nothing queued", {0}, false, 1000ms, true, 1},
        {"a device that keeps no queue", {-1}, false, 1000ms, true, 1},
        {"stuck until the deadline", {64}, false, 30ms, false, 0},
        {"a stop ends the wait", {64}, true, 1000ms, false, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        size_t looks = 0;
        auto queued = [&] { return c.queue[std::min(looks++, c.queue.size() - 1)]; };
        stop = c.stopped;
        bool drained = TransmitDrain::Wait(queued, 115200, Clock::now() + c.budget, [] { return stop; });
        EXPECT_EQ(c.drained, drained);
        EXPECT_GE(looks, c.looks ? c.looks : 2u);
        EXPECT_LE(looks, c.looks ? c.looks : SIZE_MAX);
    }
}

TEST_F(Channel, UnassignedPortFailsWithAReason)
{
    DiagChannel channel;
    EXPECT_FALSE(OpenChannel(channel, 9));
    EXPECT_NE(std::string::npos, channel.OpenError().find("COM9"));
}

// The channel keeps the system's reason, and the advice that goes with it.
TEST_F(Channel, OpenFailureSaysWhyAndWhatToDo)
{
    const std::string absent = "Plug the handset in, or choose the port it is on.";
    DiagChannel unassigned;
    EXPECT_FALSE(OpenChannel(unassigned, 9));
    EXPECT_EQ(OpenFailureReason::Lines(unassigned),
              (std::vector<std::string>{"COM9 is not assigned to a device", absent}));
    DiagChannel none;
    EXPECT_FALSE(OpenChannel(none, 0));
    EXPECT_EQ(OpenFailureReason::Lines(none), (std::vector<std::string>{"No port is chosen (Setup > Port Setting)", absent}));

    PortResolver::Instance().Set([](uint8_t) { return std::string("/nonexistent/corvanetov-port"); });
    DiagChannel missing;
    EXPECT_FALSE(OpenChannel(missing));
    EXPECT_EQ(OpenFailureReason::Text(missing), "/nonexistent/corvanetov-port: No such file or directory\n" + absent);

    std::string path = pty.SlavePath();
    PortResolver::Instance().Set([path](uint8_t) { return path; });
    DiagChannel holder;
    DiagChannel second;
    ASSERT_TRUE(OpenChannel(holder));
    EXPECT_FALSE(OpenChannel(second));
    const auto busy = OpenFailureReason::Lines(second);
    ASSERT_EQ(busy.size(), 2u) << OpenFailureReason::Text(second);
    EXPECT_NE(std::string::npos, busy[1].find("Another program holds the port"));

    holder.Close();
    ASSERT_TRUE(OpenChannel(second));
    EXPECT_TRUE(OpenFailureReason::Lines(second).empty()) << "a later success leaves no reason behind";
}

TEST(OpenFailureReasonAdvice, FollowsTheErrorNumber)
{
    struct Case {
        int errorNumber;
        const char* adviceStart; // nullptr: the error stands alone
    };
    const Case cases[] = {
        {EBUSY, "Another program holds the port"}, {EWOULDBLOCK, "Another program holds the port"},
        {EACCES, "You may not open the port"},     {EPERM, "You may not open the port"},
        {ENOENT, "Plug the handset in"},           {ENXIO, "Plug the handset in"},
        {ENODEV, "Plug the handset in"},           {EISDIR, nullptr},
        {0, nullptr},
    };
    for (const Case& c : cases) {
        const auto lines = OpenFailureReason::Lines("/dev/ttyUSB0: why", c.errorNumber);
        ASSERT_FALSE(lines.empty()) << c.errorNumber;
        EXPECT_EQ(lines[0], "/dev/ttyUSB0: why");
        EXPECT_EQ(lines.size(), c.adviceStart ? 2u : 1u) << c.errorNumber;
        if (c.adviceStart && lines.size() == 2) {
            EXPECT_EQ(lines[1].rfind(c.adviceStart, 0), 0u) << lines[1];
        }
    }
    EXPECT_TRUE(OpenFailureReason::Lines("", EBUSY).empty());
}

TEST_F(Channel, PortsAbove128UseTheNetworkLink)
{
    int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(0, ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address));
    socklen_t length = sizeof address;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    ::listen(listener, 1);
    std::string target = "127.0.0.1:" + std::to_string(ntohs(address.sin_port));
    PortResolver::Instance().Set([target](uint8_t port) { return port == kNetworkPort ? target : std::string(); });

    DiagChannel channel;
    ASSERT_TRUE(OpenChannel(channel, kNetworkPort));
    int peer = ::accept(listener, nullptr, nullptr);
    ASSERT_GE(peer, 0);
    DiagRequests::VersionRequest(channel);
    uint8_t received[4] = {};
    ASSERT_EQ(4, ::recv(peer, received, 4, MSG_WAITALL));
    EXPECT_EQ((Bytes{0x00, 0x78, 0xF0, 0x7E}), Bytes(received, received + 4));
    const Bytes answer = AnswerFrame({0x00, 0x11, 0x22, 0x33});
    ::send(peer, answer.data(), answer.size(), 0);
    ASSERT_EQ(Exchange::kAnswer, exchange.WaitResponse(channel, 200000));
    EXPECT_EQ(0x11, exchange.CurrentResponse()[1]);
    channel.Close();
    ::close(peer);
    ::close(listener);
}

namespace {
// A loopback address of the test's own: listening, or only bound, so that
// a connection to it is refused at once.
class LoopbackPort {
public:
    explicit LoopbackPort(bool listening) : m_fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)), m_listening(listening)
    {
        m_address.sin_family = AF_INET;
        m_address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof m_address;
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&m_address), sizeof m_address);
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&m_address), &length);
        if (listening)
            ::listen(m_fd, 1);
    }
    ~LoopbackPort() { ::close(m_fd); }
    LoopbackPort(const LoopbackPort&) = delete;
    LoopbackPort& operator=(const LoopbackPort&) = delete;

    addrinfo Entry()
    {
        addrinfo entry{};
        entry.ai_family = AF_INET;
        entry.ai_socktype = SOCK_STREAM;
        entry.ai_addr = reinterpret_cast<sockaddr*>(&m_address);
        entry.ai_addrlen = sizeof m_address;
        return entry;
    }
    // Whether a connection came in.
    bool Accepted() const
    {
        pollfd pfd{m_fd, POLLIN, 0};
        return m_listening && ::poll(&pfd, 1, 0) == 1 && (pfd.revents & POLLIN);
    }
    // The server's end of the next connection.
    int Accept() { return ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC); }
    std::string Target() const { return "127.0.0.1:" + std::to_string(ntohs(m_address.sin_port)); }

private:
    int m_fd;
    bool m_listening;
    sockaddr_in m_address{};
};
} // namespace

// A name can resolve to several addresses of which the first serves
// nothing ("localhost" to ::1, then 127.0.0.1): each is tried in turn.
TEST(NetworkLinkConnect, TriesEachAddressInTurn)
{
    struct Case {
        const char* name;
        std::vector<bool> listening; // the addresses in the resolver's order
        bool connected;
    };
    const Case cases[] = {
        {"the first serves", {true, false}, true},
        {"only the second serves", {false, true}, true},
        {"only the last of three serves", {false, false, true}, true},
        {"none serves", {false, false}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::unique_ptr<LoopbackPort>> ports;
        std::vector<addrinfo> entries;
        for (bool listening : c.listening)
            ports.push_back(std::make_unique<LoopbackPort>(listening));
        for (auto& port : ports)
            entries.push_back(port->Entry());
        for (size_t i = 0; i + 1 < entries.size(); ++i)
            entries[i].ai_next = &entries[i + 1];
        NetworkLink link;
        EXPECT_EQ(c.connected, link.Connect(entries.data(), "server:1"));
        EXPECT_EQ(c.connected, link.IsOpen());
        for (size_t i = 0; i < ports.size(); ++i) {
            EXPECT_EQ(c.listening[i] && c.connected, ports[i]->Accepted()) << "address " << i;
        }
        if (!c.connected) {
            EXPECT_EQ("server:1: " + std::string(std::strerror(ECONNREFUSED)), link.LastError());
        }
    }
}

// A server that will not serve a second client accepts it only to say why
// and hang up: the open fails with its reason, in words a terminal shows as
// they are. A server that keeps the client opens, and what it sent (the
// handset's bytes) stays to be read.
TEST(NetworkLinkConnect, ServersRefusalFailsTheOpenWithItsReason)
{
    struct Case {
        const char* name;
        std::string said;
        bool hangsUp;
        const char* error; // after "server:1: "; empty when the link opens
    };
    const Case cases[] = {
        {"ser2net's busy port", "Port already in use\r\n", true, NetworkLink::kInUse},
        {"a device the server cannot open", "Device open failure: Value or file not found\r\n", true,
         "the network serial server refused the connection: Device open failure: Value or file not found"},
        {"control characters in the reason", "Busy\r\n\x1b]0;title\x07", true,
         "the network serial server refused the connection: Busy   ]0;title"},
        {"a hang-up without a word", "", true, "the network serial server hung up at once"},
        {"a silent server", "", false, ""},
        {"a handset's frame", std::string("\x0c\x14\x3a\x7e", 4), false, ""},
        {"text without a hang-up", "\r\nOK\r\n", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackPort server(true);
        addrinfo entry = server.Entry();
        auto served = std::async(std::launch::async, [&] {
            int peer = server.Accept();
            ::send(peer, c.said.data(), c.said.size(), MSG_NOSIGNAL);
            return c.hangsUp ? (::close(peer), -1) : peer;
        });
        NetworkLink link;
        const bool opened = link.Connect(&entry, "server:1");
        const int peer = served.get();
        EXPECT_EQ(*c.error == 0, opened) << link.LastError();
        if (!opened) {
            EXPECT_EQ("server:1: " + std::string(c.error), link.LastError());
        } else {
            std::string kept(c.said.size(), '\0');
            size_t count = 0;
            EXPECT_TRUE(c.said.empty() || link.Read(reinterpret_cast<uint8_t*>(kept.data()), kept.size(), count) == Transport::ReadResult::Data);
            EXPECT_EQ(c.said, kept.substr(0, count));
        }
        ::close(peer);
    }
}

// An operation's network link is one connection from its first open to its
// end, through the handset's restart: the server's one client is the
// operation, and no other machine gets in between.
TEST_F(Channel, HeldNetworkLinkIsOneConnectionThroughTheRestart)
{
    LoopbackPort server(true);
    const std::string target = server.Target();
    PortResolver::Instance().Set([target](uint8_t port) { return port == kNetworkPort ? target : std::string(); });
    auto hold = std::make_unique<ScopedPortHold>();
    DiagChannel channel;
    ASSERT_TRUE(OpenChannel(channel, kNetworkPort)) << channel.OpenError();
    const int peer = server.Accept();
    for (int reopen = 0; reopen < 3; ++reopen) {
        channel.Close();
        if (reopen == 1)
            hold->LetGo(); // the restart into download mode
        ASSERT_TRUE(OpenChannel(channel, kNetworkPort)) << channel.OpenError();
    }
    EXPECT_FALSE(server.Accepted()) << "a second connection";
    DiagRequests::StatusRequest(channel);
    uint8_t received[4] = {};
    EXPECT_EQ(4, ::recv(peer, received, 4, MSG_WAITALL));
    channel.Close();
    hold.reset();
    pollfd ended{peer, POLLIN, 0};
    EXPECT_EQ(1, ::poll(&ended, 1, 2000));
    EXPECT_EQ(0, ::recv(peer, received, 4, 0)) << "the connection ends with the operation";
    ::close(peer);
}

TEST_F(Channel, BootCommandsSendTheirFixedBytesAndOthersNothing)
{
    DiagChannel channel;
    ASSERT_TRUE(OpenChannel(channel));
    for (int code : {0, 3, 7})
        channel.SendBootCommand(code);
    EXPECT_TRUE(pty.ReadUntilQuiet(100ms).empty());
    channel.SendBootCommand(1);
    EXPECT_EQ((Bytes{0x7F, 0xAA, 0xDD, 0x7E}), pty.ReadUpTo(4, 2s));
    channel.SendBootCommand(2);
    EXPECT_EQ((Bytes{0x7F, 0xAA, 0x1F, 0x00, 0x7E}), pty.ReadUpTo(5, 2s));
    channel.SendBootCommand(5);
    EXPECT_EQ((Bytes{0x7F, 0xAA, 0x9A, 0x7E}), pty.ReadUpTo(4, 2s));
}

TEST_F(Channel, RawReceiveModeKeepsEscapes)
{
    DiagChannel channel;
    channel.CreateResponseEvent(0);
    ASSERT_TRUE(channel.ReopenAt9600(kPort));
    pty.Write({0xAA, 0xAF, 0x7D, 0x5E, 0x01, 0x7E});
    ASSERT_EQ(Exchange::kAnswer, exchange.WaitResponse(channel, 200000));
    EXPECT_EQ((Bytes{0xAA, 0xAF, 0x7D, 0x5E, 0x01}), Bytes(exchange.CurrentResponse(), exchange.CurrentResponse() + 5));
    EXPECT_EQ(5u, exchange.CurrentLength());
}

TEST_F(Channel, DmSwitchLooksForOk)
{
    DiagChannel channel;
    ASSERT_TRUE(OpenChannel(channel));
    std::thread handset([&] {
        auto command = pty.ReadUpTo(10, 5s);
        if (command == Bytes({'A', 'T', '$', 'Q', 'C', 'D', 'M', 'G', '\r', '\n'}))
            pty.Write({'\r', '\n', 'O', 'K', '\r', '\n'});
    });
    // The switch looks for the answer after a fixed pause: at its real
    // length, so that a busy machine's answer is in by then.
    const double scale = Pacing::Instance().TimeScale();
    Pacing::Instance().SetTimeScale(1.0);
    EXPECT_TRUE(DiagRequests::DmSwitchExchange(channel));
    Pacing::Instance().SetTimeScale(scale);
    handset.join();

    // A silent handset (on a fresh line): three attempts, then no.
    channel.ClearAccumulation();
    EXPECT_FALSE(DiagRequests::DmSwitchExchange(channel));
    EXPECT_EQ(30u, pty.ReadUntilQuiet(200ms).size());
}

// The receive thread's CPU on a dead line and while idle is measured in
// bench/codec_bench.
TEST_F(Channel, VanishedDeviceEndsInTimeOuts)
{
    DiagChannel channel;
    ASSERT_TRUE(OpenChannel(channel));
    pty.CloseMaster();
    DiagRequests::StatusRequest(channel);
    EXPECT_EQ(Exchange::kTimeout, exchange.WaitResponse(channel, 30000));
    EXPECT_TRUE(channel.LineLost());
    const uint8_t byte = 0x0C;
    EXPECT_FALSE(channel.Write(&byte, 1));
    EXPECT_TRUE(channel.Close());
    EXPECT_FALSE(channel.IsConnected());
}

// A device that goes away during a wait ends the wait then, as a time-out:
// its answer can no longer come, and a cable pulled during a flash's long
// erase wait is told at once rather than minutes later.
TEST_F(Channel, DeviceVanishingMidWaitEndsTheWaitAtOnce)
{
    DiagChannel channel;
    ASSERT_TRUE(OpenChannel(channel));
    constexpr uint32_t kEraseLongWaitMs = 6'000'000; // a minute at the tests' time scale
    std::thread pull([&] {
        std::this_thread::sleep_for(100ms);
        pty.CloseMaster();
    });
    const auto asked = std::chrono::steady_clock::now();
    DiagRequests::StatusRequest(channel);
    const int result = exchange.WaitResponse(channel, kEraseLongWaitMs);
    const auto waited = std::chrono::steady_clock::now() - asked;
    pull.join();
    EXPECT_EQ(Exchange::kTimeout, result);
    EXPECT_TRUE(channel.LineLost());
    EXPECT_LT(waited, 10s) << "the wait ran on after the line was lost";
}

TEST_F(Channel, TraceShowsBytesButNeverSecrets)
{
    char path[] = "/tmp/corvanetov-trace-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    ::close(fd);
    Trace::Instance().SetTarget(path);
    DiagChannel channel;
    ASSERT_TRUE(OpenChannel(channel));
    Bytes twentyOne(21, 0x0A);
    channel.Write(twentyOne.data(), 21);
    Bytes seventy(70, 0x0B);
    channel.WriteLong(seventy.data(), 70);
    DiagRequests::SpcRequest(channel, "135792");
    DiagRequests::PasswordRequest(channel);
    const Bytes lockCode = {0x04, '7', '3', '9', '1'};
    DiagRequests::NvWriteRequest(channel, 82, lockCode);
    DiagRequests::NvWriteRequest(channel, 2073, Bytes{0x00, 0x65, 0x66});
    // A stray frame and an answer in one read: both shown, the stray one
    // said to be dropped. Then the answers that carry lock codes: an NV
    // answer and a refusal that echoes the request.
    Bytes line = {0x31, 0x05, 0x22, 0x10, 0x7E};
    for (const Bytes& frame : {AnswerFrame({0x0C, 0x01}), AnswerFrame({0x26, 0x17, 0x08, '5', '8', '2', '0'}),
                               AnswerFrame({0x15, 0x27, 0x52, 0x00, 0x04, '7', '3', '9', '1'})})
        line.insert(line.end(), frame.begin(), frame.end());
    pty.Write(line);
    ASSERT_EQ(Exchange::kAnswer, exchange.WaitResponse(channel, 200000));
    channel.Close();
    Trace::Instance().SetTarget("");
    std::string trace = ReadFile(path);
    ::unlink(path);

    std::string shortLine = "\nTX : ";
    for (int i = 0; i < 20; ++i)
        shortLine += "a ";
    EXPECT_NE(std::string::npos, trace.find(shortLine + "...."));
    std::string longLine = "\nTX(70) : ";
    for (int i = 0; i < 64; ++i)
        longLine += "0b ";
    EXPECT_NE(std::string::npos, trace.find(longLine + "...."));
    EXPECT_NE(std::string::npos, trace.find("\nOpening " + pty.SlavePath() + "\n"));
    EXPECT_NE(std::string::npos, trace.find("\nTX : 41 ** ** "));
    EXPECT_NE(std::string::npos, trace.find("\nTX : 46 ** ** "));
    EXPECT_EQ(std::string::npos, trace.find("31 33 35")) << "MSL digits leaked into the trace";
    EXPECT_EQ(std::string::npos, trace.find("56 51 58")) << "password leaked into the trace";
    EXPECT_NE(std::string::npos, trace.find("\nTX : 27 52 0 ** ** ")) << trace;
    EXPECT_NE(std::string::npos, trace.find("\nTX : 27 19 8 0 65 66 ")) << "an item without a secret shows whole";
    EXPECT_NE(std::string::npos, trace.find("\nRX : 26 17 8 ** ** ")) << trace;
    EXPECT_NE(std::string::npos, trace.find("\nRX : 15 27 52 0 ** ** ")) << trace;
    EXPECT_EQ(std::string::npos, trace.find("37 33 39")) << "lock code leaked into the trace";
    EXPECT_EQ(std::string::npos, trace.find("35 38 32")) << "UIM lock code leaked into the trace";
    const std::string dropped = "\nRX : 31 5 22 10 7e \nRX : check sequence wrong, frame dropped\nRX : c 1 6e b7 7e ";
    EXPECT_NE(std::string::npos, trace.find(dropped)) << trace;
}
