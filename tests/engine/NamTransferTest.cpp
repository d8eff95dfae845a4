#include "EngineFixture.h"

#include <algorithm>

#include "engine/NamTransfer.h"
#include "nv/NVList.h"

using namespace corvanetov;

namespace {
using Timeline = std::vector<std::string>;

const Bytes kWrongByte = {0x13, 0x26, 0x00, 0x00};

enum class Direction { Read, Write };

Timeline Joined(std::initializer_list<Timeline> parts)
{
    Timeline all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// One request of the pass; a write waits 50 ms before it goes out.
Timeline Sent(Direction direction, int item)
{
    if (direction == Direction::Read)
        return {"NvRead " + std::to_string(item)};
    return {"sleep 50", "NvWrite " + std::to_string(item)};
}

// The request, its wait, and `resends` more tries after the first wait.
Timeline Exchanged(Direction direction, int item, int resends = 0)
{
    Timeline all = Joined({Sent(direction, item), {"wait 2000"}});
    for (int i = 0; i < resends; ++i)
        all = Joined({all, i > 0 ? Timeline{"sleep 300"} : Timeline{}, Sent(direction, item), {"wait 2000"}});
    return all;
}

const Timeline kOffline = {"status Change to OfflineMode", "ModeControl 1", "wait 1500", "sleep 3000"};
const Timeline kReset = {"progress 100", "status Resetting the phone", "sleep 1000", "ModeControl 2", "sleep 1000",
                         "ModeControl 2", "close"};
const Timeline kReadDone = {"sleep 15000", "end Completed Reading from Phone"};
const Timeline kWriteDone = {"sleep 15000", "end Completed Writing To Phone"};

// Answers as the handset gives them for an item with no data.
Bytes ReadAnswer(uint16_t item)
{
    return ScriptedHandset::NvReadAnswer(item, "");
}

Bytes WriteAnswer(uint16_t item)
{
    return {0x27, static_cast<uint8_t>(item & 0xFF), static_cast<uint8_t>(item >> 8)};
}

// The answers to the NV reads after the identification's own (item 2045).
std::vector<Bytes> AfterIdentification(std::vector<Bytes> answers)
{
    answers.insert(answers.begin(), ScriptedHandset::NvReadAnswer(2045, "HW00.01"));
    return answers;
}

struct NamCase {
    const char* name;
    Direction direction;
    std::vector<uint16_t> items;
    int32_t total;
    Script script;
    std::string stopAt; // a stop request comes as the nth such pause begins
    int occurrence;
    Timeline timeline;  // from the offline step on
};

const Direction R = Direction::Read;
const Direction W = Direction::Write;

const NamCase kNamCases[] = {
    {"read of the three items", R, {82, 2071, 2073}, 3, {}, "", 0,
     Joined({kOffline, {"status Reading Nam..."}, Exchanged(R, 82), {"progress 33"}, Sent(R, 2071), {"sleep 50", "wait 2000", "progress 66"},
             Sent(R, 2073), {"sleep 50", "wait 2000", "progress 99", "sleep 50"}, kReset, kReadDone})},
    {"write of the three items", W, {82, 2071, 2073}, 3, {}, "", 0,
     Joined({kOffline, {"status Writing Nam"}, Exchanged(W, 82), {"progress 33"}, Sent(W, 2071), {"sleep 50", "wait 2000", "progress 66"},
             Sent(W, 2073), {"sleep 50", "wait 2000", "progress 99", "sleep 50"}, kReset, kWriteDone})},
    {"item answered on the third resend, once with a wrong command byte", R, {2071}, 1,
     {{0x26, AfterIdentification({kSilent, kWrongByte, kSilent})}}, "", 0,
     Joined({kOffline, {"status Reading Nam..."}, Exchanged(R, 2071, 3), {"progress 99", "sleep 50"}, kReset, kReadDone})},
    {"read item unanswered", R, {82, 2071, 2073}, 3, {{0x26, AfterIdentification({ReadAnswer(82), kSilent, kSilent, kSilent, kSilent})}}, "", 0,
     Joined({kOffline, {"status Reading Nam..."}, Exchanged(R, 82), {"progress 33"}, Sent(R, 2071), {"sleep 50", "wait 2000"},
             Sent(R, 2071), {"wait 2000", "sleep 300"}, Sent(R, 2071), {"wait 2000", "sleep 300"}, Sent(R, 2071),
             {"wait 2000", "sleep 300"}, kReset, {"end Error in reading NAM"}})},
    {"write item unanswered", W, {82, 2071, 2073}, 3, {{0x27, {WriteAnswer(82), WriteAnswer(2071), kSilent, kSilent, kSilent, kSilent}}}, "", 0,
     Joined({kOffline, {"status Writing Nam"}, Exchanged(W, 82), {"progress 33"}, Sent(W, 2071), {"sleep 50", "wait 2000", "progress 66"},
             Sent(W, 2073), {"sleep 50", "wait 2000"}, Sent(W, 2073), {"wait 2000", "sleep 300"}, Sent(W, 2073),
             {"wait 2000", "sleep 300"}, Sent(W, 2073), {"wait 2000", "sleep 300"}, kReset, {"end Error in writing NAM"}})},
    {"no offline answer", R, {82, 2071, 2073}, 3, {{0x29, {kSilent, kSilent, kSilent}}}, "", 0,
     {"status Change to OfflineMode", "ModeControl 1", "wait 1500", "sleep 200", "ModeControl 1", "wait 1500", "sleep 200",
      "ModeControl 1", "wait 1500", "sleep 200", "sleep 1000", "ModeControl 2", "close", "end Error in changing mode to OFFLINE",
      "sleep 15000"}},
    {"empty list", W, {}, 0, {}, "", 0, Joined({kOffline, {"status Writing Nam"}, kReset, kWriteDone})},
    {"answers for another item are not taken for the item asked: it is asked again", R, {82, 2071}, 2,
     {{0x26, AfterIdentification({ReadAnswer(82), ReadAnswer(82), ScriptedHandset::NvReadAnswer(999, ""), ReadAnswer(2071)})}}, "", 0,
     Joined({kOffline, {"status Reading Nam..."}, Exchanged(R, 82), {"progress 50"}, Sent(R, 2071), {"sleep 50", "wait 2000"},
             Sent(R, 2071), {"wait 2000", "sleep 300"}, Sent(R, 2071), {"wait 2000", "progress 99", "sleep 50"}, kReset, kReadDone})},
    {"a write answered only for another item fails", W, {82, 2071}, 2,
     {{0x27, {WriteAnswer(82), WriteAnswer(82), WriteAnswer(82), WriteAnswer(82), WriteAnswer(82)}}}, "", 0,
     Joined({kOffline, {"status Writing Nam"}, Exchanged(W, 82), {"progress 50"}, Sent(W, 2071), {"sleep 50", "wait 2000"},
             Sent(W, 2071), {"wait 2000", "sleep 300"}, Sent(W, 2071), {"wait 2000", "sleep 300"}, Sent(W, 2071),
             {"wait 2000", "sleep 300"}, kReset, {"end Error in writing NAM"}})},
    {"write of the reset item restarts the handset", W, {408, 82}, 2, {}, "", 0,
     Joined({kOffline, {"status Writing Nam"}, Exchanged(W, 408), {"progress 50", "ModeControl 2", "sleep 50"}, kReset, kWriteDone})},
    {"a total below the list's length never shows 100 early", R, {82, 2071}, 1, {}, "", 0,
     Joined({kOffline, {"status Reading Nam..."}, Exchanged(R, 82), {"progress 99"}, Sent(R, 2071), {"sleep 50", "wait 2000", "progress 99", "sleep 50"},
             kReset, kReadDone})},
    {"stop in the pause before the success report", R, {82}, 1, {}, "sleep 15000", 1,
     Joined({kOffline, {"status Reading Nam..."}, Exchanged(R, 82), {"progress 99", "sleep 50"}, kReset, {"sleep 15000"}})},
    // The first of these waits is the status request's.
    {"stop while waiting for an item", W, {82, 2071}, 2, {{0x27, {WriteAnswer(82), kSilent}}}, "wait 2000", 3,
     Joined({kOffline, {"status Writing Nam"}, Exchanged(W, 82), {"progress 50"}, Sent(W, 2071), {"sleep 50", "wait 2000", "close"}})},
};

void PrintTo(const NamCase& c, std::ostream* out)
{
    *out << c.name;
}
} // namespace

class NamTransferTest : public EngineTest {
protected:
    NVList readList;
    NVList writeList;

    void Run(Direction direction, const std::vector<uint16_t>& items, int32_t total)
    {
        NVList& list = direction == Direction::Read ? readList : writeList;
        for (uint16_t item : items)
            list.Add(item, 0);
        NamTransferRequest request{total, &readList, &writeList, 0};
        if (direction == Direction::Read)
            NamTransfer::NamReadWorker(request);
        else
            NamTransfer::NamWriteWorker(request);
    }

    Timeline FromTheOfflineStep() const
    {
        auto all = handset.Timeline();
        auto start = std::find(all.begin(), all.end(), "status Change to OfflineMode");
        return Timeline(start, all.end());
    }

    Bytes Image(size_t offset, size_t count) const
    {
        Bytes bytes(count);
        doc.Read(offset, bytes.data(), count);
        return bytes;
    }
};

class NamTransferSteps : public NamTransferTest, public ::testing::WithParamInterface<NamCase> {};

TEST_P(NamTransferSteps, EveryRequestPauseAndReportInOrder)
{
    const NamCase& c = GetParam();
    Prepare(0, c.script);
    if (!c.stopAt.empty())
        StopAt(c.stopAt, c.occurrence);

    Run(c.direction, c.items, c.total);

    EXPECT_EQ(c.timeline, FromTheOfflineStep());
    for (int closes : handset.ClosesPerChannel())
        EXPECT_EQ(1, closes) << "every channel closed exactly once";
    auto messages = recorder.Messages();
    for (const auto& message : messages)
        EXPECT_EQ(1528, message.number);
    bool succeeded = c.timeline.back().rfind("end Completed", 0) == 0;
    EXPECT_EQ(succeeded, recorder.Succeeded());
    if (succeeded) {
        EXPECT_EQ(c.direction == Direction::Read ? 23 : 21, messages.back().kind);
    }
}

INSTANTIATE_TEST_SUITE_P(Handsets, NamTransferSteps, ::testing::ValuesIn(kNamCases),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST_F(NamTransferTest, ReadStoresEachItemAtItsPlaceAndAFailureKeepsTheItemsBeforeIt)
{
    Bytes lock = {3, '1', '2', '3', 'x', 'y', 'z', 0, 0}; // the bytes after the count come as they are
    Bytes uim = {'5', '6', '7', '8', '5', '6', '7', '8'};
    handset.SetNvItem(82, lock);
    handset.SetNvItem(2071, uim);
    Bytes sids(81);
    for (size_t i = 0; i < sids.size(); ++i)
        sids[i] = static_cast<uint8_t>(i + 1);
    handset.SetNvItem(2073, sids);

    Run(Direction::Read, {82, 2071, 2073, 2045}, 4);
    EXPECT_EQ(lock, Image(39, 9));
    EXPECT_EQ(uim, Image(59816, 8));
    EXPECT_EQ(sids, Image(59824, 81));
    EXPECT_EQ((Bytes{'H', 'W', '0', '0', '.', '0', '1', 0}), Image(59808, 8)) << "the hardware version item";

    NvDoc fresh;
    OperationContext::Instance().SetNvDocument(&fresh);
    readList.Reset();
    handset.Queue(0x26, AfterIdentification({ScriptedHandset::NvReadAnswer(82, std::string(lock.begin(), lock.end())), kSilent,
                                             kSilent, kSilent, kSilent}));
    Run(Direction::Read, {82, 2071, 2073}, 3);
    OperationContext::Instance().SetNvDocument(&doc);
    EXPECT_EQ("Error in reading NAM", ErrorText());
    Bytes kept(9);
    fresh.Read(39, kept.data(), kept.size());
    EXPECT_EQ(lock, kept) << "the item before the failure";
    Bytes notRead(8);
    fresh.Read(59816, notRead.data(), notRead.size());
    EXPECT_EQ(Bytes(8, 0), notRead);
}

TEST_F(NamTransferTest, WriteSendsTheImagesBytesWithTheSidItemsFirstByteCleared)
{
    Bytes image(59994);
    for (size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<uint8_t>(i * 13 + 5);
    doc.Load(image.data(), image.size());

    Run(Direction::Write, {82, 2071, 2073}, 3);
    ASSERT_TRUE(recorder.Succeeded()) << recorder.EndText();
    auto stored = [this](uint16_t item, size_t count) {
        Bytes data = handset.NvItem(item);
        return Bytes(data.begin(), data.begin() + count);
    };
    EXPECT_EQ(Bytes(image.begin() + 39, image.begin() + 48), stored(82, 9));
    EXPECT_EQ(Bytes(image.begin() + 59816, image.begin() + 59824), stored(2071, 8));
    Bytes sids(image.begin() + 59824, image.begin() + 59905);
    sids[0] = 0;
    EXPECT_EQ(sids, stored(2073, 81));
    Bytes whole = handset.NvItem(2073);
    EXPECT_EQ(Bytes(128 - 81, 0), Bytes(whole.begin() + 81, whole.end())) << "zeros after the data";
}
