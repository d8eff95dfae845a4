#include "EngineFixture.h"

#include <algorithm>

#include "comm/DownloadModeNotes.h"
#include "engine/EngineConstants.h"
#include "engine/PhoneInfoRead.h"

using namespace corvanetov;

namespace {
using Outcome = OperationMessage::Outcome;

struct Report {
    int32_t kind;
    std::string text;
    Outcome outcome;
    bool operator==(const Report&) const = default;
};

std::vector<Report> Reports(const OperationRecorder& recorder)
{
    std::vector<Report> reports;
    for (const auto& message : recorder.Messages()) {
        EXPECT_EQ(1524, message.number);
        reports.push_back({message.kind, message.text, message.outcome});
    }
    return reports;
}

void PrintTo(const Report& report, std::ostream* out)
{
    *out << "{" << report.kind << ", \"" << report.text << "\", " << static_cast<int>(report.outcome) << "}";
}
} // namespace

class PhoneInfoReadTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        for (int text = 0; text < 13; ++text)
            doc.SetText(text, "old");
    }
    void ExpectEveryChannelClosedOnce() const
    {
        for (int closes : handset.ClosesPerChannel())
            EXPECT_EQ(1, closes);
        EXPECT_EQ("close", handset.Line().back());
    }
};

TEST_F(PhoneInfoReadTest, ReadReportsTheIdentityAndEndsWithoutAText)
{
    PhoneInfoRead::Run();
    EXPECT_EQ((std::vector<Report>{{2, "Response Received", Outcome::None}, {0, "", Outcome::None}, {1, "", Outcome::Succeeded}}),
              Reports(recorder));
    EXPECT_EQ("8D2A41F3", doc.GetText(NvDoc::kEsn));
    EXPECT_EQ("AB12 ZF20", doc.GetText(NvDoc::kSoftwareVersion));
    EXPECT_EQ("HW00.01", doc.GetText(NvDoc::kHardwareVersion));
    EXPECT_EQ("(212) 555-0147", doc.GetText(NvDoc::kPhoneNumber));
    EXPECT_EQ("", doc.GetText(11));
    EXPECT_EQ("", doc.GetText(3));
    EXPECT_EQ("old", doc.GetText(6)) << "text 7, which only a failure clears";
    ExpectEveryChannelClosedOnce();
}

TEST_F(PhoneInfoReadTest, PortThatWillNotOpenEndsWithItsError)
{
    handset.RefuseOpens();
    PhoneInfoRead::Run();
    EXPECT_EQ((std::vector<Report>{{1, "Cannot Open ComPort!", Outcome::Failed}}), Reports(recorder));
    ExpectEveryChannelClosedOnce();
}

TEST_F(PhoneInfoReadTest, FailedIdentificationLetRunOnClearsTheTexts)
{
    handset.Queue(0x0C, {ScriptedHandset::kSilence, ScriptedHandset::kSilence, ScriptedHandset::kSilence});
    PhoneInfoRead::Run();
    EXPECT_EQ((std::vector<Report>{{1, "Error in reading phone's status in DM", Outcome::Failed},
                                   {2, "nothing response", Outcome::None},
                                   {0, "", Outcome::None},
                                   {1, "", Outcome::Failed}}),
              Reports(recorder));
    EXPECT_EQ("", doc.GetText(6)) << "text 7, which only a failure clears";
    EXPECT_EQ("", doc.GetText(12));
    ExpectEveryChannelClosedOnce();
}

TEST_F(PhoneInfoReadTest, FailedIdentificationEndedByTheFrontEndKeepsTheTexts)
{
    OperationRecorder endsTheWorker; // as a view does: the first end report ends the worker
    OperationContext::Instance().SetTarget(&endsTheWorker);
    handset.Queue(0x00, {ScriptedHandset::kSilence, ScriptedHandset::kSilence, ScriptedHandset::kSilence});
    PhoneInfoRead::Run();
    EXPECT_EQ((std::vector<Report>{{1, "Error in getting phone's information", Outcome::Failed}}), Reports(endsTheWorker));
    EXPECT_EQ("old", doc.GetText(6)) << "text 7 keeps what it showed";
    ExpectEveryChannelClosedOnce();
}

namespace {
constexpr char kEsn[] = "8D2A41F3"; // the scripted handset's

struct NoteCase {
    const char* name;
    // Where an unfinished flash left a handset in download mode (null:
    // nowhere), and its ESN; COM7 then opens slot-a.
    const char* notedSlot;
    const char* notedEsn;
    uint8_t unanswered;
    std::string end;
};

const NoteCase kNoteCases[] = {
    {"this handset noted, status unanswered", "slot-a", kEsn, 0x0C,
     std::string("Error in reading phone's status in DM\n") + engine::kMayWaitInDownloadMode},
    {"noted without an ESN, version unanswered", "slot-a", "", 0x00,
     std::string("Error in getting phone's information\n") + engine::kMayWaitInDownloadMode},
    {"not noted", nullptr, "", 0x0C, "Error in reading phone's status in DM"},
    // The table gave COM7 to another slot since (or the kernel the device
    // name to another handset): the note stays with its own slot.
    {"noted in the slot that COM7 named before", "slot-b", kEsn, 0x0C, "Error in reading phone's status in DM"},
};

void PrintTo(const NoteCase& c, std::ostream* out)
{
    *out << c.name;
}
} // namespace

class PhoneInfoReadNote : public PhoneInfoReadTest, public ::testing::WithParamInterface<NoteCase> {};

// The failure names download mode from the note alone: the line is the same
// with and without it.
TEST_P(PhoneInfoReadNote, FailedIdentificationSaysWhereAnUnfinishedFlashLeftTheHandset)
{
    const NoteCase& c = GetParam();
    std::string noted;
    if (c.notedSlot) {
        PutInSlot(c.notedSlot);
        noted = DownloadModeNotes::SlotOf(7);
        DownloadModeNotes::Instance().Remember(noted, c.notedEsn);
    }
    PutInSlot("slot-a");
    handset.Queue(c.unanswered, {ScriptedHandset::kSilence, ScriptedHandset::kSilence, ScriptedHandset::kSilence});
    PhoneInfoRead::Run();
    ASSERT_FALSE(recorder.Messages().empty());
    EXPECT_EQ(c.end, recorder.Messages().front().text);
    const std::vector<std::string> line = handset.Line();
    EXPECT_EQ(3, std::count(line.begin(), line.end(), c.unanswered == 0x0C ? "Status" : "Version")) << "no other request";
    EXPECT_EQ(c.notedSlot != nullptr, DownloadModeNotes::Instance().Remembered(noted)) << "a failed read neither makes nor clears a note";
    EXPECT_EQ(c.notedSlot && noted == DownloadModeNotes::SlotOf(7), Note().has_value());
}

INSTANTIATE_TEST_SUITE_P(Notes, PhoneInfoReadNote, ::testing::ValuesIn(kNoteCases),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

// A handset that answers in a noted slot is not waiting there in download
// mode, whether it is the one the note names or another that took its
// place: the note goes, and a later failure there says nothing of it.
TEST_F(PhoneInfoReadTest, IdentifiedHandsetDropsItsSlotsNote)
{
    auto read = [] {
        OperationRecorder run(OperationRecorder::OnEnd::Continue);
        OperationContext::Instance().SetTarget(&run);
        PhoneInfoRead::Run();
        OperationContext::Instance().SetTarget(nullptr);
        return run.Succeeded() ? std::string("succeeded") : run.EndText();
    };
    PutInSlot("slot-a");
    for (const char* esn : {kEsn, "12345678", ""}) {
        DownloadModeNotes::Instance().Remember(DownloadModeNotes::SlotOf(7), esn);
        EXPECT_EQ("succeeded", read());
        EXPECT_FALSE(Note()) << "noted with ESN \"" << esn << "\"";
    }
    handset.Queue(0x0C, kThreeSilences);
    EXPECT_EQ("Error in reading phone's status in DM", read());
}
