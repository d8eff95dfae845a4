#include "EngineFixture.h"

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
