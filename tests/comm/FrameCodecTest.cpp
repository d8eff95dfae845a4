#include <gtest/gtest.h>

#include <optional>

#include "AnswerFrame.h"
#include "RecordingComm.h"
#include "diag/Crc16X25.h"
#include "diag/DiagRequests.h"
#include "diag/FrameCodec.h"
#include "platform/NamedEventRegistry.h"

using namespace corvanetov;

using Bytes = std::vector<uint8_t>;

TEST(Crc16X25, CheckValueOverDigits)
{
    const char* digits = "123456789";
    EXPECT_EQ(0x906E, Crc16X25::Compute(reinterpret_cast<const uint8_t*>(digits), 9));
}

TEST(Crc16X25, BlockStepsAgreeWithByteSteps)
{
    Bytes data(100);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i * 37 + 11);
    for (size_t length = 0; length <= data.size(); ++length) {
        uint16_t bytewise = Crc16X25::kInitial;
        for (size_t i = 0; i < length; ++i)
            bytewise = Crc16X25::Update(bytewise, data[i]);
        ASSERT_EQ(bytewise, Crc16X25::Update(Crc16X25::kInitial, data.data(), length)) << "length " << length;
    }
}

class Framing : public ::testing::Test {
protected:
    RecordingComm comm;
    void SetUp() override { comm.SetLeadFlag(0); }
    Bytes Sent(uint8_t byte, uint16_t mode)
    {
        comm.SetLeadingFlagMode(mode);
        comm.SendFrame(&byte, 1);
        return comm.writes.back();
    }
};

TEST_F(Framing, SingleBytesWithAndWithoutLeadingFlag)
{
    EXPECT_EQ((Bytes{0x0C, 0x14, 0x3A, 0x7E}), Sent(0x0C, 0));
    EXPECT_EQ((Bytes{0x00, 0x78, 0xF0, 0x7E}), Sent(0x00, 0));
    EXPECT_EQ((Bytes{0x7E, 0x44, 0x58, 0xF4, 0x7E}), Sent(0x44, 1));
    comm.SetLeadFlag(1);
    EXPECT_EQ((Bytes{0x7F, 0x0C, 0x14, 0x3A, 0x7E}), Sent(0x0C, 0));
}

TEST_F(Framing, EscapesDifferBetweenSmallAndLargeFrames)
{
    uint8_t escaped = 0;
    EXPECT_TRUE(FrameCodec::EscapeByte(escaped, 0x7D));
    EXPECT_EQ(0x5D, escaped);
    EXPECT_FALSE(FrameCodec::EscapeByte(escaped, 0x7C));
    EXPECT_EQ(0x7C, escaped);

    const uint8_t request[] = {0x7F, 0x7E, 0x7D};
    comm.SendFrame(request, 3);
    Bytes small = comm.writes.back();
    EXPECT_EQ((Bytes{0x7D, 0x5F, 0x7D, 0x5E, 0x7D, 0x5D}), Bytes(small.begin(), small.begin() + 6));
    comm.SendLargeFrame(request, 3);
    Bytes large = comm.writes.back();
    EXPECT_EQ((Bytes{0x7F, 0x7D, 0x5E, 0x7D, 0x5D}), Bytes(large.begin(), large.begin() + 5));
    // Both carry the same check sequence over the unescaped bytes.
    uint16_t crc = Crc16X25::Compute(request, 3);
    EXPECT_EQ(crc & 0xFF, large[5]);
    EXPECT_EQ(crc >> 8, large[6]);
    EXPECT_EQ(0x7E, large.back());
}

TEST_F(Framing, LargeFrameDropsWhatDoesNotFitButStillCloses)
{
    Bytes request(30000, 0x7E); // every byte needs two places
    comm.SendLargeFrame(request.data(), static_cast<uint16_t>(request.size()));
    const Bytes& frame = comm.writes.back();
    EXPECT_LE(frame.size(), FrameCodec::kLargeFrameCapacity);
    EXPECT_GE(frame.size(), FrameCodec::kLargeFrameCapacity - 4);
    EXPECT_EQ(0x7E, frame.back());
    // No escape byte is left dangling in front of the closing flag.
    auto body = FrameCodec::Unescape(frame.data(), frame.size() - 1);
    EXPECT_GT(body.size(), 10000u);
}

TEST_F(Framing, CatalogueRequests)
{
    DiagRequests::NvReadRequest(comm, 2045);
    Bytes nv = comm.writes.back();
    ASSERT_EQ(136u, nv.size());
    EXPECT_EQ((Bytes{0x26, 0xFD, 0x07}), Bytes(nv.begin(), nv.begin() + 3));
    EXPECT_EQ(Bytes(130, 0), Bytes(nv.begin() + 3, nv.begin() + 133));
    EXPECT_EQ((Bytes{0x73, 0x3C, 0x7E}), Bytes(nv.end() - 3, nv.end()));

    DiagRequests::ModeControlRequest(comm, 2);
    EXPECT_EQ((Bytes{0x29, 0x02, 0x00, 0x59, 0x6A, 0x7E}), comm.writes.back());
    DiagRequests::StatusRequest(comm);
    EXPECT_EQ((Bytes{0x0C, 0x14, 0x3A, 0x7E}), comm.writes.back());
    DiagRequests::VersionRequest(comm);
    EXPECT_EQ((Bytes{0x00, 0x78, 0xF0, 0x7E}), comm.writes.back());
    DiagRequests::DmModeRequest(comm);
    EXPECT_EQ((Bytes{0x44, 0x58, 0xF4, 0x7E}), comm.writes.back());
    DiagRequests::DmSwitchCommand(comm);
    EXPECT_EQ(Bytes({'A', 'T', '$', 'Q', 'C', 'D', 'M', 'G', '\r', '\n'}), comm.writes.back());
}

TEST_F(Framing, UnlockRequestsCarryCodeAndPassword)
{
    DiagRequests::SpcRequest(comm, "123456");
    auto spc = FrameCodec::Unescape(comm.writes.back().data(), comm.writes.back().size() - 1);
    EXPECT_EQ((Bytes{0x41, '1', '2', '3', '4', '5', '6'}), Bytes(spc.begin(), spc.begin() + 7));
    DiagRequests::PasswordRequest(comm);
    auto password = FrameCodec::Unescape(comm.writes.back().data(), comm.writes.back().size() - 1);
    EXPECT_EQ((Bytes{0x46, 0x56, 0x51, 0x58, 0x2D, 0x42, 0x34, 0x31, 0x30}), Bytes(password.begin(), password.begin() + 9));
}

TEST_F(Framing, NvWriteCarriesTheItemsDataBytes)
{
    auto sentRequest = [this] {
        Bytes body = FrameCodec::Unescape(comm.writes.back().data(), comm.writes.back().size() - 1);
        body.resize(body.size() - 2); // the check sequence
        return body;
    };
    const Bytes lock = {4, '1', '2', '3', '4', 0, 0, 0, 0};
    DiagRequests::NvWriteRequest(comm, 82, lock);
    Bytes request = sentRequest();
    ASSERT_EQ(133u, request.size());
    EXPECT_EQ((Bytes{0x27, 82, 0, 4, '1', '2', '3', '4'}), Bytes(request.begin(), request.begin() + 8));
    EXPECT_EQ(Bytes(121, 0), Bytes(request.begin() + 12, request.end())) << "zeros after the data";

    DiagRequests::NvWriteRequest(comm, 408, {});
    request = sentRequest();
    EXPECT_EQ((Bytes{0x27, 0x98, 0x01}), Bytes(request.begin(), request.begin() + 3));
    EXPECT_EQ(Bytes(130, 0), Bytes(request.begin() + 3, request.end()));

    Bytes tooLong(200, 0x31);
    DiagRequests::NvWriteRequest(comm, 2073, tooLong);
    request = sentRequest();
    ASSERT_EQ(133u, request.size());
    EXPECT_EQ(Bytes(128, 0x31), Bytes(request.begin() + 3, request.begin() + 131)) << "the data field holds 128 bytes";
    EXPECT_EQ((Bytes{0, 0}), Bytes(request.end() - 2, request.end())) << "the status stays zero";
}

// The receive side, fed chunk by chunk as the receive thread would.
class Receiving : public ::testing::Test {
protected:
    RecordingComm comm;
    std::shared_ptr<ManualEvent> event;
    void SetUp() override
    {
        comm.CreateResponseEvent(0);
        event = NamedEventRegistry::Instance().Open("RECEIVE_0_EVENT");
        ASSERT_TRUE(event);
        event->Reset();
    }
    void Feed(const Bytes& chunk) { comm.OnReceive(chunk.data(), static_cast<uint32_t>(chunk.size())); }
    // What the engine would fetch: the frame as it came in the raw mode,
    // else the decoded response.
    Bytes Response()
    {
        Bytes out(2048);
        out.resize(comm.RawReceiveMode() ? comm.CopyFrame(out.data()) : comm.CopyResponse(out.data()));
        return out;
    }
};

Bytes Joined(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

// Only a frame whose check sequence holds is an answer, and each flag ends
// a frame of its own: a stray frame next to an answer, in one read or the
// next, leaves the answer as it came; a dropped frame leaves the answer
// before it in place and announces nothing.
TEST_F(Receiving, OnlyFramesWhoseCheckSequenceHoldsAreAnswers)
{
    enum class Mode { Plain, Flagged, Raw };
    const Bytes previous = {0x4B, 0x01, 0x02};
    const Bytes answer = {0x26, 0x7E, 0x01, 0x02}; // an escape inside
    const Bytes junk = {0x31, 0x05, 0x7D, 0x22, 0x10, 0x44, 0x7E};
    // A data byte changed on the line, the check sequence kept: an NV item's
    // data as well as its command byte.
    Bytes damaged = AnswerFrame(answer);
    damaged[4] ^= 0x01;
    Bytes answerAsItCame = AnswerFrame(answer);
    answerAsItCame.pop_back(); // the raw mode keeps escapes and the check sequence
    struct Case {
        const char* name;
        Mode mode;
        std::vector<Bytes> chunks;
        std::optional<Bytes> announced; // none: dropped
    };
    const Case cases[] = {
        {"a good answer", Mode::Plain, {AnswerFrame(answer)}, answer},
        {"a damaged answer", Mode::Plain, {damaged}, std::nullopt},
        {"a junk frame", Mode::Plain, {junk}, std::nullopt},
        {"junk, then the answer in one read", Mode::Plain, {Joined({junk, AnswerFrame(answer)})}, answer},
        {"the answer, then junk in one read", Mode::Plain, {Joined({AnswerFrame(answer), junk})}, answer},
        {"the answer, then junk in the next read", Mode::Plain, {AnswerFrame(answer), junk}, answer},
        {"a short frame whose check sequence holds", Mode::Plain, {{0x02, 0x6A, 0xD3, 0x7E}}, std::nullopt},
        {"junk, then the answer with leading flags", Mode::Flagged, {Joined({{0x7E}, junk, AnswerFrame(answer, true)})}, answer},
        {"the answer, then junk with leading flags", Mode::Flagged, {Joined({AnswerFrame(answer, true), {0x7E}, junk})}, answer},
        {"a damaged answer with a leading flag", Mode::Flagged, {Joined({{0x7E}, damaged})}, std::nullopt},
        {"a short frame with a leading flag", Mode::Flagged, {{0x7E, 0x02, 0x6A, 0xD3, 0x7E}}, Bytes{0x02}},
        {"the raw mode takes a frame as it came", Mode::Raw, {{0xAA, 0xAF, 0xDD, 0x7E}}, Bytes{0xAA, 0xAF, 0xDD}},
        {"the raw mode, junk then the answer", Mode::Raw, {Joined({junk, AnswerFrame(answer)})}, answerAsItCame},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        comm.SetLeadingFlagMode(0);
        if (c.mode == Mode::Raw)
            comm.ReopenAt9600(1);
        else
            comm.ReopenAt115200(1);
        Feed(AnswerFrame(previous));
        Bytes before = Response();
        event->Reset();
        comm.SetLeadingFlagMode(c.mode == Mode::Flagged ? 1 : 0);
        for (const Bytes& chunk : c.chunks)
            Feed(chunk);
        EXPECT_EQ(c.announced.has_value(), event->IsSet());
        Bytes response = Response();
        if (!c.announced) {
            EXPECT_EQ(before, response) << "the answer before stays";
            continue;
        }
        ASSERT_GE(response.size(), c.announced->size());
        EXPECT_EQ(*c.announced, Bytes(response.begin(), response.begin() + static_cast<std::ptrdiff_t>(c.announced->size())));
    }
    comm.ReopenAt115200(1);
}

// However a USB adapter splits an answer into reads, the answer comes out
// whole, once, when its closing flag arrives: a flag alone in the last read,
// a first read that ends just behind the leading flag, a read a byte.
TEST_F(Receiving, AnswerSplitAnyWayCompletesAtItsClosingFlag)
{
    struct Case {
        const char* name;
        uint16_t leadingFlagMode;
        std::vector<Bytes> chunks;
        Bytes response;
    };
    const Case cases[] = {
        {"closing flag alone", 0, {{0x0C, 0x01, 0x6E, 0xB7}, {0x7E}}, {0x0C, 0x01, 0x6E, 0xB7}},
        {"a lone flag before the answer is dropped", 0, {{0x7E}, {0x0C, 0x01, 0x6E, 0xB7, 0x7E}}, {0x0C, 0x01, 0x6E, 0xB7}},
        {"first read ends behind the leading flag", 1, {{0x7E, 0x02}, {0x6A, 0xD3, 0x7E}}, {0x02, 0x6A, 0xD3}},
        {"both flags alone", 1, {{0x7E}, {0x02, 0x6A, 0xD3}, {0x7E}}, {0x02, 0x6A, 0xD3}},
        {"a byte a read", 1, {{0x7E}, {0x02}, {0x6A}, {0xD3}, {0x7E}}, {0x02, 0x6A, 0xD3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        comm.SetLeadingFlagMode(c.leadingFlagMode);
        event->Reset();
        for (size_t i = 0; i + 1 < c.chunks.size(); ++i) {
            Feed(c.chunks[i]);
            EXPECT_FALSE(event->IsSet()) << "after read " << i;
        }
        Feed(c.chunks.back());
        ASSERT_TRUE(event->IsSet());
        EXPECT_EQ(c.response, Response());
        event->Reset();
        Feed({0x7E});
        EXPECT_FALSE(event->IsSet()) << "nothing is left collected";
    }
}

TEST_F(Receiving, FrameSplitOverChunksIsAssembledAndUnescaped)
{
    Feed({0x26, 0x7D, 0x5E, 0x01});
    EXPECT_FALSE(event->IsSet());
    Feed({0x73, 0x68, 0x7E});
    ASSERT_TRUE(event->IsSet());
    Bytes response = Response();
    // Received length counts the escape, so one zero follows the bytes.
    EXPECT_EQ((Bytes{0x26, 0x7E, 0x01, 0x73, 0x68, 0x00}), response);
}

TEST_F(Receiving, LeadingFlagAndLeadByteAreStripped)
{
    comm.SetLeadingFlagMode(1);
    Feed({0x7E, 0x44, 0x58, 0xF4, 0x7E});
    ASSERT_TRUE(event->IsSet());
    EXPECT_EQ((Bytes{0x44, 0x58, 0xF4}), Response());
    event->Reset();
    comm.SetLeadingFlagMode(0);
    Feed({0x7F, 0x0C, 0x01, 0x02, 0xA5, 0x59, 0x7E});
    ASSERT_TRUE(event->IsSet());
    EXPECT_EQ((Bytes{0x0C, 0x01, 0x02, 0xA5, 0x59}), Response());
}

TEST_F(Receiving, BadInputNeverCrashesOrHangs)
{
    // Garbage without any flag piles up to the limit and is then dropped.
    Bytes garbage(700, 0x55);
    for (int i = 0; i < 10; ++i)
        Feed(garbage);
    EXPECT_FALSE(event->IsSet());
    // What was collected ends with the next flag, as one useless frame whose
    // check sequence does not hold.
    Feed({0x7E, 0x7E});
    EXPECT_FALSE(event->IsSet());

    // An escape right before the closing flag.
    Feed({0x26, 0x01, 0x02, 0x7D, 0x7E});
    EXPECT_FALSE(event->IsSet());

    // A chunk of nothing but escapes in flagged mode.
    comm.SetLeadingFlagMode(1);
    Bytes escapes(2040, 0x7D);
    escapes.push_back(0x7E);
    Feed(escapes);
    EXPECT_FALSE(event->IsSet());

    // An overlong chunk is dropped whole, and collection starts afresh.
    Feed(Bytes(2050, 0x7E));
    EXPECT_FALSE(event->IsSet());
    comm.SetLeadingFlagMode(0);
    Feed({0x0C, 0x01, 0x02, 0xA5, 0x59, 0x7E});
    EXPECT_TRUE(event->IsSet());
    EXPECT_EQ((Bytes{0x0C, 0x01, 0x02, 0xA5, 0x59}), Response());
}
