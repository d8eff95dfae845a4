#include "EngineFixture.h"
#include "samples/PrlListBytes.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "diag/DiagConstants.h"
#include "engine/RoamingProgram.h"
#include "platform/Trace.h"
#include "prl/Std683a.h"

using namespace corvanetov;

namespace fs = std::filesystem;

namespace {
const Bytes kRefusedPiece = {diag::kCmdPrlWrite, 3, 0, 0};

std::vector<Bytes> Times(int count, const Bytes& answer)
{
    return std::vector<Bytes>(size_t(count), answer);
}


struct Piece {
    int nam;
    int number;
    bool operator==(const Piece&) const = default;
};
void PrintTo(const Piece& piece, std::ostream* out)
{
    *out << "{NAM" << piece.nam + 1 << " piece " << piece.number << "}";
}
} // namespace

// The worker in this thread: files in a folder of the test's own, the trace
// in a file there.
class RoamingProgramTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        m_folder = fs::temp_directory_path() / ("roaming-" + std::to_string(::getpid()));
        fs::create_directories(m_folder);
        Trace::Instance().SetTarget((m_folder / "trace").string());
    }
    void TearDown() override
    {
        Trace::Instance().SetTarget("");
        fs::remove_all(m_folder);
        EngineTest::TearDown();
    }

    std::string Put(const std::string& name, const Bytes& bytes)
    {
        std::string path = (m_folder / name).string();
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return path;
    }
    std::string TraceText() const
    {
        std::ifstream in(m_folder / "trace");
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    void Prl(int32_t nams, const std::string& path1, const std::string& path2 = {})
    {
        RoamingProgram::PrlProgramWorker({nams, path1, path2});
    }
    void Eri(int32_t nams, const std::string& path1, const std::string& path2 = {})
    {
        RoamingProgram::EriProgramWorker({nams, path1, path2});
    }

    // The pieces sent, as the handset saw them, in order.
    std::vector<Piece> PiecesSent(uint8_t command = diag::kCmdPrlWrite) const
    {
        std::vector<Piece> pieces;
        for (const Bytes& request : handset.Requests(command))
            pieces.push_back({request[3], request[1]});
        return pieces;
    }
    // What happened after the handset was unlocked.
    std::vector<std::string> AfterUnlock() const
    {
        auto timeline = handset.Timeline();
        auto unlock = std::find(timeline.begin(), timeline.end(), "Password");
        EXPECT_NE(unlock, timeline.end());
        return std::vector<std::string>(std::min(unlock + 2, timeline.end()), timeline.end());
    }
    size_t Count(const std::string& event) const
    {
        auto line = handset.Line();
        return size_t(std::count(line.begin(), line.end(), event));
    }

    fs::path m_folder;
};

TEST_F(RoamingProgramTest, ListGoesOutInPiecesOf120BytesThenTheHandsetIsReset)
{
    Prl(0, Put("a.prl", PrlListBytes(250)));
    EXPECT_EQ((std::vector<std::string>{
                  "status Write Prl to NAM1", "sleep 2000",
                  "Prl 0 more 1 nam 0 bits 960", "sleep 200", "wait 3000", "progress 33", "sleep 100",
                  "Prl 1 more 1 nam 0 bits 960", "sleep 200", "wait 3000", "progress 66", "sleep 100",
                  "Prl 2 more 0 nam 0 bits 80", "sleep 200", "wait 3000", "progress 100", "sleep 100",
                  "progress 100", "status Change Sio Mode to HF",
                  "sleep 1000", "status Resetting the phone", "ModeControl 2", "sleep 1000", "ModeControl 2", "close",
                  "sleep 15000", "end Completed PRL Programming"}),
              AfterUnlock());
    EXPECT_TRUE(recorder.Succeeded());
    EXPECT_EQ(3u, Std683a::Instance().PieceCount(0));
    for (const auto& message : recorder.Messages()) {
        EXPECT_EQ(1525, message.number);
        EXPECT_TRUE(message.kind == 5 || message.kind == 6 || message.kind == 7) << message.kind;
    }
}

TEST_F(RoamingProgramTest, EachPieceCarriesItsBytesAndBitCountWithZerosAfterTheLast)
{
    struct Case {
        size_t size;
        std::vector<std::pair<int, int>> moreAndBits;
    } cases[] = {
        {240, {{1, 960}, {0, 960}}},
        {250, {{1, 960}, {1, 960}, {0, 80}}},
        {120, {{0, 960}}},
        {8192, {}}, // 69 pieces, the last of 32 bytes
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        const size_t before = handset.Requests(diag::kCmdPrlWrite).size();
        Bytes file = PrlListBytes(c.size);
        Prl(0, Put("layout.prl", file));
        ASSERT_TRUE(recorder.Succeeded());
        auto requests = handset.Requests(diag::kCmdPrlWrite);
        requests.erase(requests.begin(), requests.begin() + long(before));
        ASSERT_EQ((c.size + 119) / 120, requests.size());
        Bytes received;
        for (size_t i = 0; i < requests.size(); ++i) {
            const Bytes& request = requests[i];
            ASSERT_EQ(126u, request.size());
            EXPECT_EQ(i, request[1]);
            EXPECT_EQ(0, request[3]);
            size_t bits = request[4] | request[5] << 8;
            bool last = i + 1 == requests.size();
            EXPECT_EQ(last ? 0 : 1, request[2]);
            EXPECT_EQ(last ? (c.size - i * 120) * 8 : 960, bits);
            if (!c.moreAndBits.empty()) {
                EXPECT_EQ(c.moreAndBits[i].first, request[2]);
                EXPECT_EQ(size_t(c.moreAndBits[i].second), bits);
            }
            received.insert(received.end(), request.begin() + 6, request.begin() + 6 + long(bits / 8));
            EXPECT_TRUE(std::all_of(request.begin() + 6 + long(bits / 8), request.end(), [](uint8_t b) { return b == 0; }))
                << "zeros after the file's last byte";
        }
        EXPECT_EQ(file, received);
    }
}

namespace {
struct AnswerCase {
    const char* name;
    std::vector<Bytes> answers; // to the roaming writes, in order; then status 1
    std::vector<int> sends;     // how often each piece of three went out
    std::string end;
    std::vector<std::string> traced;
    std::vector<std::string> notTraced;
};

const AnswerCase kAnswerCases[] = {
    {"status 1 accepted", {}, {1, 1, 1}, "Completed PRL Programming", {}, {"First Error"}},
    {"status 0 accepted", Times(3, {diag::kCmdPrlWrite, 0, 0, 0}), {1, 1, 1}, "Completed PRL Programming", {}, {"First Error"}},
    {"refused once", {kRefusedPiece}, {2, 1, 1}, "Completed PRL Programming",
     {"\nnResult = 0, status = 3 First Error in 1/3", "\nnResult = 0, status = 1 "}, {"'s Error "}},
    {"unanswered once, second piece", {{diag::kCmdPrlWrite, 1, 0, 0}, kSilent}, {1, 2, 1}, "Completed PRL Programming",
     {"\nnResult = 1, status = ", "First Error in 2/3"}, {"'s Error "}},
    {"another request's answer", {{diag::kCmdPassword, 1, 0, 0}}, {2, 1, 1}, "Completed PRL Programming",
     {"First Error in 1/3"}, {"'s Error "}},
    {"refused twice", Times(2, kRefusedPiece), {3, 1, 1}, "Completed PRL Programming",
     {"First Error in 1/3", "\nnResult = 0, status = 3 2's Error "}, {"3's Error "}},
    {"accepted on the last resend", Times(20, kRefusedPiece), {21, 1, 1}, "Completed PRL Programming",
     {"20's Error "}, {"21's Error "}},
    {"refused 21 times", Times(21, kRefusedPiece), {21, 0, 0}, "Error in writing PRL", {"2's Error ", "21's Error "}, {"22's Error "}},
};
void PrintTo(const AnswerCase& c, std::ostream* out)
{
    *out << c.name;
}
} // namespace

class RoamingAnswers : public RoamingProgramTest, public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(RoamingAnswers, PieceIsResentUntilAcceptedAtMostTwentyTimes)
{
    const AnswerCase& c = GetParam();
    handset.Queue(diag::kCmdPrlWrite, c.answers);
    Prl(0, Put("a.prl", PrlListBytes(250)));

    std::vector<Piece> expected;
    for (int piece = 0; piece < 3; ++piece)
        for (int send = 0; send < c.sends[size_t(piece)]; ++send)
            expected.push_back({0, piece});
    EXPECT_EQ(expected, PiecesSent());
    EXPECT_EQ(c.end, recorder.EndText());
    std::string trace = TraceText();
    for (const auto& text : c.traced)
        EXPECT_NE(std::string::npos, trace.find(text)) << text << " in\n" << trace;
    for (const auto& text : c.notTraced)
        EXPECT_EQ(std::string::npos, trace.find(text)) << text << " in\n" << trace;
    if (recorder.Succeeded())
        return;
    // A failed write: no reset, the port released, then the end report.
    auto after = AfterUnlock();
    EXPECT_EQ((std::vector<std::string>{"sleep 50", "Prl 0 more 1 nam 0 bits 960", "sleep 200", "wait 3000", "close",
                                        "end Error in writing PRL"}),
              std::vector<std::string>(after.end() - 6, after.end()))
        << "a NAM that was not written does not reach 100 %";
    EXPECT_EQ(0u, Count("ModeControl 2"));
    EXPECT_EQ("Error in writing PRL", ErrorText());
}

INSTANTIATE_TEST_SUITE_P(Answers, RoamingAnswers, ::testing::ValuesIn(kAnswerCases),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST_F(RoamingProgramTest, OptionChoosesTheNamsThatAreReadAndWritten)
{
    struct Case {
        int32_t nams;
        std::vector<Piece> pieces;
        std::vector<std::string> statuses;
    } cases[] = {
        {0, {{0, 0}, {0, 1}}, {"Write Prl to NAM1"}},
        {1, {{1, 0}, {1, 1}, {1, 2}}, {"Write Prl to NAM2"}},
        {2, {{0, 0}, {0, 1}, {1, 0}, {1, 1}, {1, 2}}, {"Write Prl to NAM1", "Write Prl to NAM2"}},
        {-1, {}, {}}, // no option chosen: nothing written, and still a completion
    };
    const std::string nam1 = Put("nam1.prl", PrlListBytes(130)), nam2 = Put("nam2.prl", PrlListBytes(250));
    const std::string earlier = Put("earlier.prl", PrlListBytes(50));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.nams);
        ScriptedHandset fresh;
        OperationContext::Instance().SetChannelFactory(fresh.Factory());
        OperationRecorder each{OperationRecorder::OnEnd::Continue};
        OperationContext::Instance().SetTarget(&each);
        for (int slot = 0; slot < 2; ++slot)
            EXPECT_TRUE(Std683a::Instance().ReadPrlFile(earlier, slot));

        Prl(c.nams, nam1, nam2);

        std::vector<Piece> sent;
        std::vector<std::string> statuses;
        for (const Bytes& request : fresh.Requests(diag::kCmdPrlWrite))
            sent.push_back({request[3], request[1]});
        for (const auto& message : each.Messages())
            if (message.kind == 7 && message.text.rfind("Write", 0) == 0)
                statuses.push_back(message.text);
        EXPECT_EQ(c.pieces, sent);
        EXPECT_EQ(c.statuses, statuses);
        EXPECT_EQ("Completed PRL Programming", each.EndText());
        EXPECT_EQ(c.nams == 0 || c.nams == 2 ? 130u : 50u, Std683a::Instance().Size(0)) << "a NAM not chosen keeps its slot";
        EXPECT_EQ(c.nams == 1 || c.nams == 2 ? 250u : 50u, Std683a::Instance().Size(1));
        OperationContext::Instance().SetChannelFactory(nullptr);
    }
    OperationContext::Instance().SetTarget(&recorder);
}

// One NAM failing does not keep the other from its write; the end text and
// the progress say which one is on the handset now.
TEST_F(RoamingProgramTest, WhenOneNamFailsTheEndSaysWhichWasWritten)
{
    const Bytes stored = {diag::kCmdPrlWrite, 1, 0, 0}, last = {diag::kCmdPrlWrite, 0, 0, 0};
    struct Case {
        const char* what;
        std::vector<Bytes> answers;
        std::vector<Piece> pieces;
        const char* end;
        std::vector<int> fullNams; // the NAMs whose progress reached 100 %
    } cases[] = {
        {"NAM1 refused", Times(21, kRefusedPiece), {}, "NAM1 failed, NAM2 written: Error in writing PRL", {1}},
        {"NAM2 refused", {stored, last}, {}, "NAM1 written, NAM2 failed: Error in writing PRL", {0}},
        {"both refused", Times(42, kRefusedPiece), {}, "Error in writing PRL", {}},
    };
    cases[0].pieces = std::vector<Piece>(21, {0, 0});
    cases[0].pieces.insert(cases[0].pieces.end(), {{1, 0}, {1, 1}});
    cases[1].answers.insert(cases[1].answers.end(), 21, kRefusedPiece);
    cases[1].pieces = {{0, 0}, {0, 1}};
    cases[1].pieces.insert(cases[1].pieces.end(), 21, {1, 0});
    cases[2].pieces = std::vector<Piece>(21, {0, 0});
    cases[2].pieces.insert(cases[2].pieces.end(), 21, {1, 0});
    const std::string nam1 = Put("nam1.prl", PrlListBytes(130)), nam2 = Put("nam2.prl", PrlListBytes(130));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedHandset fresh;
        OperationContext::Instance().SetChannelFactory(fresh.Factory());
        OperationRecorder each{OperationRecorder::OnEnd::Continue};
        OperationContext::Instance().SetTarget(&each);
        fresh.Queue(diag::kCmdPrlWrite, c.answers);
        Prl(2, nam1, nam2);
        std::vector<Piece> sent;
        for (const Bytes& request : fresh.Requests(diag::kCmdPrlWrite))
            sent.push_back({request[3], request[1]});
        std::vector<int> full;
        for (const auto& message : each.Messages())
            if (message.kind == 5 && message.value == 100 && std::find(full.begin(), full.end(), message.param) == full.end())
                full.push_back(message.param);
        EXPECT_EQ(c.pieces, sent);
        EXPECT_EQ(c.end, each.EndText());
        EXPECT_FALSE(each.Succeeded());
        EXPECT_EQ(c.fullNams, full);
        const auto line = fresh.Line();
        EXPECT_EQ(0, std::count(line.begin(), line.end(), "ModeControl 2")) << "no reset after a failed write";
        OperationContext::Instance().SetChannelFactory(nullptr);
    }
    OperationContext::Instance().SetTarget(&recorder);
}

namespace {
struct RefusedCase {
    const char* name;
    bool eri;
    int32_t nams;
    Bytes nam1;     // empty with missing1: no such file
    bool missing1;
    Bytes nam2;
    bool missing2;
    const char* message; // %s: the refused path
    bool nam2Refused;
    const char* end;
};

const RefusedCase kRefusedCases[] = {
    {"missing PRL for NAM1", false, 0, {}, true, {}, true,
     " Fail to read from %s\n %s: No such file or directory\n Please Check prl_file !", false, "Error in loading PRL1 file"},
    {"3-byte PRL for NAM1", false, 0, Bytes(3, 1), false, {}, true, " Invalid Prl file : %s\n Please Check prl_file !", false,
     "Error in loading PRL1 file"},
    {"oversized PRL for NAM2 after NAM1", false, 2, PrlListBytes(130), false, Bytes(9000, 0), false,
     " %s is too large\n Please Check prl_file !", true, "Error in loading PRL2 file"},
    {"missing ERI for NAM2", true, 1, {}, true, {}, true,
     " Fail to read from %s\n %s: No such file or directory\n Please Check eri_file !", true, "Error in loading ERI2 file"},
    {"empty ERI for NAM2 after NAM1", true, 2, Bytes(130, 7), false, {}, false, " %s is empty\n Please Check eri_file !", true,
     "Error in loading ERI2 file"},
    {"oversized ERI for NAM1", true, 0, Bytes(8193, 7), false, {}, true, " %s is too large\n Please Check eri_file !", false,
     "Error in loading ERI1 file"},
};
void PrintTo(const RefusedCase& c, std::ostream* out)
{
    *out << c.name;
}
} // namespace

class RoamingRefusedFile : public RoamingProgramTest, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(RoamingRefusedFile, ReadersMessageThenTheLoadErrorWithTheHandsetUntouched)
{
    const RefusedCase& c = GetParam();
    std::string path1 = c.missing1 ? (m_folder / "none1").string() : Put("one", c.nam1);
    std::string path2 = c.missing2 ? (m_folder / "none2").string() : Put("two", c.nam2);
    if (c.eri)
        Eri(c.nams, path1, path2);
    else
        Prl(c.nams, path1, path2);

    std::string message = c.message;
    for (size_t at; (at = message.find("%s")) != std::string::npos;)
        message.replace(at, 2, c.nam2Refused ? path2 : path1);
    ASSERT_EQ(1u, prompts.shown.size());
    EXPECT_EQ(message, prompts.shown[0].text);
    EXPECT_EQ(Prompts::Icon::Warning, prompts.shown[0].icon);
    // Both files are read before the first request: a bad NAM2 file leaves
    // NAM1 unwritten too.
    EXPECT_EQ(std::vector<std::string>{}, handset.Line());
    EXPECT_EQ(std::vector<std::string>{std::string("end ") + c.end}, handset.Timeline());
    EXPECT_EQ(c.end, ErrorText());
    EXPECT_FALSE(recorder.Succeeded());
}

INSTANTIATE_TEST_SUITE_P(Files, RoamingRefusedFile, ::testing::ValuesIn(kRefusedCases),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST_F(RoamingProgramTest, EriGoesOutOnItsOwnCommandAndMessageFamily)
{
    Bytes file(130, 0x5A);
    Eri(1, Put("a.bin", file)); // the NAM2 path is empty: refused
    Eri(1, "", Put("b.bin", file));
    EXPECT_EQ((std::vector<Piece>{{1, 0}, {1, 1}}), PiecesSent(diag::kCmdEriWrite));
    EXPECT_TRUE(handset.Requests(diag::kCmdPrlWrite).empty());
    std::vector<std::string> ends, statuses;
    for (const auto& message : recorder.Messages()) {
        EXPECT_EQ(1526, message.number);
        if (message.kind == 10) {
            EXPECT_EQ(1, message.param) << "progress names NAM2";
        }
        if (message.kind == 11)
            ends.push_back(message.text);
        if (message.kind == 12)
            statuses.push_back(message.text);
    }
    EXPECT_EQ((std::vector<std::string>{"Error in loading ERI2 file", "Completed ERI Programming"}), ends);
    EXPECT_NE(statuses.end(), std::find(statuses.begin(), statuses.end(), "Write Eri to NAM2"));
}

TEST_F(RoamingProgramTest, StopDuringAPieceEndsAtOnceAndFreesThePort)
{
    const std::string path = Put("a.prl", PrlListBytes(250));
    // The unlock waits 3000 ms too: the second such wait is the first piece's.
    const std::pair<const char*, int> stops[] = {{"sleep 2000", 1}, {"wait 3000", 2}, {"sleep 200", 1}, {"sleep 50", 1}};
    for (const auto& [pause, occurrence] : stops) {
        SCOPED_TRACE(pause);
        Pacing::Instance().ClearStop();
        handset.Queue(diag::kCmdPrlWrite, {kRefusedPiece});
        size_t start = TimelineSize();
        StopAt(pause, occurrence);
        Prl(0, path);
        ASSERT_LT(StopPosition(), TimelineSize());
        auto before = TimelineFrom(start);
        before.resize(StopPosition() - start);
        EXPECT_NE(before.end(), std::find(before.begin(), before.end(), "status Write Prl to NAM1")) << "stopped while writing";
        EXPECT_EQ((std::vector<std::string>{"close"}), TimelineFrom(StopPosition() + 1)) << "nothing after the stop but the release";
    }
    EXPECT_FALSE(recorder.Finished());
}
