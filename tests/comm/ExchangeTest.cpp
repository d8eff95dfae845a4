#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <functional>
#include <thread>

#include "AnswerFrame.h"
#include "RecordingComm.h"
#include "comm/CommConstants.h"
#include "diag/Exchange.h"
#include "platform/Pacing.h"

using namespace corvanetov;

using Bytes = std::vector<uint8_t>;

namespace {
// Answers each write at once with the next programmed answer, framed, as a
// handset would.
class AnsweringComm : public RecordingComm {
public:
    bool Write(const uint8_t* bytes, uint32_t count) override
    {
        RecordingComm::Write(bytes, count);
        if (!answers.empty()) {
            Bytes answer = answers.front();
            answers.pop_front();
            if (!answer.empty()) {
                Bytes frame = AnswerFrame(answer);
                OnReceive(frame.data(), static_cast<uint32_t>(frame.size()));
            }
        }
        return true;
    }
    std::deque<Bytes> answers; // an empty entry stays silent
};
} // namespace

class ExchangeTest : public ::testing::Test {
protected:
    AnsweringComm comm;
    Exchange exchange;
    std::vector<std::string> eventErrors;

    void SetUp() override
    {
        Pacing::Instance().ClearStop();
        comm.SetLeadFlag(0);
        comm.CreateResponseEvent(0);
        exchange.SetEventErrorHandler([this](const std::string& text) { eventErrors.push_back(text); });
        exchange.WaitResponse(comm, 0); // nothing left over from other tests
    }
    void Feed(const Bytes& answer)
    {
        Bytes frame = AnswerFrame(answer);
        comm.OnReceive(frame.data(), static_cast<uint32_t>(frame.size()));
    }
    void SendStatus()
    {
        const uint8_t status = 0x0C;
        comm.SendFrame(&status, 1);
    }
};

TEST_F(ExchangeTest, AnswerThatCameFirstIsTakenAtOnce)
{
    Feed({0x0C, 0x01, 0x02, 0x03});
    EXPECT_EQ(Exchange::kAnswer, exchange.WaitResponse(comm, 0)) << "taken without any waiting";
    EXPECT_EQ(0x0C, exchange.CurrentResponse()[0]);
}

TEST_F(ExchangeTest, TimeOutKeepsThePreviousAnswerAndALateAnswerGoesToTheNextWait)
{
    Feed({0x26, 0xAA, 0xBB, 0xCC});
    ASSERT_EQ(Exchange::kAnswer, exchange.WaitResponse(comm, 1500));
    EXPECT_EQ(Exchange::kTimeout, exchange.WaitResponse(comm, 1500));
    EXPECT_EQ(0x26, exchange.CurrentResponse()[0]);
    EXPECT_EQ(0xAA, exchange.CurrentResponse()[1]);

    Feed({0x27, 0x01, 0x02, 0x03}); // the late answer
    EXPECT_EQ(Exchange::kAnswer, exchange.WaitResponse(comm, 1500));
    EXPECT_EQ(0x27, exchange.CurrentResponse()[0]);
}

// However a request goes out, an answer that came before it (a late answer
// to one the tool gave up on) is forgotten; one that comes at once is its.
TEST_F(ExchangeTest, AnswerThatCameBeforeARequestIsNotTakenForItsAnswer)
{
    const uint8_t request[] = {0x0C};
    const std::pair<const char*, std::function<void()>> sends[] = {
        {"frame", [&] { comm.SendFrame(request, 1); }},
        {"large frame", [&] { comm.SendLargeFrame(request, 1); }},
        {"unframed", [&] { comm.SendRaw(request, 1, 0); }},
    };
    for (const auto& [name, send] : sends) {
        SCOPED_TRACE(name);
        Feed({0x46, 0x01, 0x02, 0x03});
        comm.answers = {{}};
        send();
        EXPECT_EQ(Exchange::kTimeout, exchange.WaitResponse(comm, 1500));
        comm.answers = {{0x0C, 0x05}};
        send();
        ASSERT_EQ(Exchange::kAnswer, exchange.WaitResponse(comm, 0));
        EXPECT_EQ(0x0C, exchange.CurrentResponse()[0]);
    }
}

TEST_F(ExchangeTest, MissingEventIsAnEventError)
{
    RecordingComm withoutEvent;
    EXPECT_EQ(Exchange::kWaitFailed, exchange.WaitResponse(withoutEvent, 1500));
    EXPECT_EQ(std::vector<std::string>{"Event Error!"}, eventErrors);
}

TEST_F(ExchangeTest, TransactTriesThreeTimesAndChecksTheCommandByte)
{
    EXPECT_FALSE(exchange.Transact(comm, [&] { SendStatus(); }, {2000, 1000, 0x0C}));
    EXPECT_EQ(3u, comm.writes.size());
    EXPECT_EQ(Exchange::kTimeout, exchange.LastWaitResult());

    comm.writes.clear();
    comm.answers = {{0x00, 0x01, 0x02, 0x03}, {0x0C, 0x05, 0x06, 0x07}};
    EXPECT_TRUE(exchange.Transact(comm, [&] { SendStatus(); }, {2000, 1000, 0x0C}));
    EXPECT_EQ(2u, comm.writes.size());
    EXPECT_EQ(0x05, exchange.CurrentResponse()[1]);

    // Where any answer counts, the first one ends the exchange.
    comm.writes.clear();
    comm.answers = {{0x13, 0x00, 0x00, 0x00}};
    EXPECT_TRUE(exchange.Transact(comm, [&] { SendStatus(); }, {1500, 200, -1}));
    EXPECT_EQ(1u, comm.writes.size());
}

TEST_F(ExchangeTest, StopEndsAWaitAndTheAttempts)
{
    // The stop comes while the first wait runs; a wait that went on to its
    // end would report a time-out instead.
    Pacing::Instance().SetObserver([](Pacing::Pause pause, uint32_t) {
        if (pause == Pacing::Pause::Wait)
            Pacing::Instance().RequestStop();
    });
    EXPECT_FALSE(exchange.Transact(comm, [&] { SendStatus(); }, {150000, 1000, 0x0C}));
    Pacing::Instance().SetObserver(nullptr);
    EXPECT_EQ(Exchange::kOther, exchange.LastWaitResult());
    EXPECT_EQ(1u, comm.writes.size()) << "no further attempt after the stop";
    Pacing::Instance().ClearStop();
}

// The time scale shortens the handset's share of a time-out, never the time
// the request needs on the line: at 115200 baud an 8199-byte block takes
// 0.71 s, which a 3 s wait at a fifth (0.6 s) did not leave it.
TEST(ScaledTimeOut, NeverShorterThanTheLineTimeNorThanThePlainScale)
{
    using std::chrono::microseconds;
    struct Row {
        double scale;
        uint32_t ms;
        microseconds onTheLine;
        microseconds expected;
    };
    const Row rows[] = {
        {1.0, 3000, microseconds(711'700), microseconds(3'000'000)},   // the real timing stays as it was
        {0.2, 3000, microseconds(0), microseconds(600'000)},           // nothing on the line: plainly scaled
        {0.2, 3000, microseconds(711'700), microseconds(1'169'360)},   // the line's 0.71 s, a fifth of the rest
        {0.2, 500, microseconds(711'700), microseconds(711'700)},      // a wait shorter than the line: the line
        {5.0, 3000, microseconds(711'700), microseconds(15'000'000)},  // a longer scale lengthens it all
    };
    auto& pacing = Pacing::Instance();
    const double before = pacing.TimeScale();
    for (const Row& row : rows) {
        pacing.SetTimeScale(row.scale);
        auto got = std::chrono::duration_cast<microseconds>(pacing.Scaled(row.ms, row.onTheLine));
        EXPECT_NEAR(static_cast<double>(row.expected.count()), static_cast<double>(got.count()), 1.0)
            << "scale " << row.scale << ", " << row.ms << " ms, " << row.onTheLine.count() << " us on the line";
    }
    pacing.SetTimeScale(before);
}

namespace {
// Answers the one request from another thread a while after it was written,
// as a handset at the end of a slow line does.
class LateAnsweringComm : public RecordingComm {
public:
    ~LateAnsweringComm() override
    {
        if (m_answerer.joinable())
            m_answerer.join();
    }
    bool Write(const uint8_t* bytes, uint32_t count) override
    {
        RecordingComm::Write(bytes, count);
        m_answerer = std::thread([this] {
            std::this_thread::sleep_for(answerAfter);
            Bytes frame = AnswerFrame({0x0C, 0x01});
            OnReceive(frame.data(), static_cast<uint32_t>(frame.size()));
        });
        return true;
    }
    std::chrono::milliseconds answerAfter{0};

private:
    std::thread m_answerer;
};
} // namespace

// A request of 480 bytes at 19200 baud is 250 ms on the line; a 40 s wait at
// a two-hundredth is 200 ms, which would end before the answer could come.
TEST(ExchangeOnASlowLine, WaitsForTheRequestToCrossTheLineButNoLonger)
{
    using namespace std::chrono_literals;
    constexpr uint32_t kBaud = 19200;
    constexpr uint32_t kTimeoutMs = 40000;
    constexpr double kScale = 0.005;
    const Bytes request(480, 0x11);
    // 250 ms on the line, then a two-hundredth of the remaining 39.75 s: the
    // wait ends about 449 ms after the request.
    struct Row {
        const char* what;
        std::chrono::milliseconds answerAfter;
        int expected;
    };
    const Row rows[] = {
        {"answer just after the line time", 300ms, Exchange::kAnswer},
        {"answer well past the wait", 700ms, Exchange::kTimeout},
    };
    auto& pacing = Pacing::Instance();
    const double before = pacing.TimeScale();
    pacing.SetTimeScale(kScale);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        LateAnsweringComm comm;
        comm.Configure(1, kBaud, comm::kByteSize, comm::kOneStopBit, comm::kNoParity);
        comm.SetLeadFlag(0);
        comm.CreateResponseEvent(0);
        comm.answerAfter = row.answerAfter;
        Exchange exchange;
        comm.SendFrame(request.data(), static_cast<uint16_t>(request.size()));
        EXPECT_EQ(row.expected, exchange.WaitResponse(comm, kTimeoutMs));
    }
    pacing.SetTimeScale(before);
}
