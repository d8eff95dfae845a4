#include <gtest/gtest.h>

#include <deque>
#include <functional>

#include "AnswerFrame.h"
#include "RecordingComm.h"
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
