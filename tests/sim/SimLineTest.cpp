#include "SimLineFixture.h"

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <numeric>
#include <optional>
#include <poll.h>
#include <pthread.h>
#include <random>
#include <time.h>

#include "diag/DiagAnswers.h"
#include "diag/DiagRequests.h"
#include "diag/FrameCodec.h"
#include "engine/IdentificationText.h"
#include "engine/NvItemData.h"
#include "nv/NvDoc.h"
#include "platform/Pacing.h"

using namespace corvanetov;
using namespace corvanetov::detail;

namespace {
using Bytes = std::vector<uint8_t>;
constexpr size_t kSettingsImageSize = 59994;
constexpr size_t kUimLockOffset = 59816;
constexpr size_t kHomeSidsOffset = 59824;
constexpr size_t kLockCodeOffset = 39;

Bytes WithLe32(Bytes bytes, std::initializer_list<uint32_t> values)
{
    for (uint32_t value : values) {
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
    return bytes;
}

Bytes WriteBlock(uint32_t address, const Bytes& image)
{
    Bytes request = WithLe32({0xDD}, {address});
    request.push_back(0x00);
    request.push_back(0x20);
    request.insert(request.end(), image.begin() + address, image.begin() + address + 0x2000);
    return request;
}

Bytes RandomBytes(size_t count, unsigned seed)
{
    std::mt19937 random(seed);
    Bytes bytes(count);
    for (uint8_t& b : bytes)
        b = static_cast<uint8_t>(random()); // plenty of 7D, 7E and 7F to escape
    return bytes;
}

Bytes ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

template <class Pred>
bool Eventually(Pred pred)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

double ThreadCpuMs(std::thread& thread)
{
    clockid_t clock{};
    pthread_getcpuclockid(thread.native_handle(), &clock);
    timespec used{};
    clock_gettime(clock, &used);
    return used.tv_sec * 1e3 + used.tv_nsec / 1e6;
}
} // namespace

TEST_F(SimLine, StatusAndVersionDecodeToTheConfiguredHandset)
{
    m_state.SetEsn(0x8D2A41F3);
    ASSERT_TRUE(m_state.SetPhoneNumber("(212) 555-0147"));
    m_state.SetCompileDate("Jun 20 2006");
    m_state.SetVersionText("AB12.5");
    m_state.SetCaiRevision(7);
    m_state.SetHardwareVersion("REV0.07");
    StartSim();
    Connect();

    DiagRequests::DmSwitchCommand(*m_comm);
    EXPECT_TRUE(Eventually([&] { return m_comm->AccumulatedText().find("OK") != std::string::npos; }));
    m_comm->ClearAccumulation();

    ASSERT_TRUE(Ask([&] { DiagRequests::StatusRequest(*m_comm); }, 0x0C));
    EXPECT_EQ(0x8D2A41F3u, DiagAnswers::StatusEsn(Answer()));
    std::string number;
    EXPECT_TRUE(IdentificationText::FormatMin(DiagAnswers::StatusMin1(Answer()), DiagAnswers::StatusMin2(Answer()), number));
    EXPECT_EQ("(212) 555-0147", number);

    ASSERT_TRUE(Ask([&] { DiagRequests::VersionRequest(*m_comm); }, 0x00));
    bool monthKnown = false;
    EXPECT_EQ("AB12 ZF20",
        IdentificationText::SoftwareVersion(DiagAnswers::VersionCompileDate(Answer()), DiagAnswers::VersionText(Answer()), monthKnown));
    EXPECT_TRUE(monthKnown);
    EXPECT_EQ(0x93, DiagAnswers::VersionModelCode(Answer()));
    EXPECT_EQ(7, DiagAnswers::VersionByte48(Answer()));

    ASSERT_TRUE(Ask([&] { DiagRequests::NvReadRequest(*m_comm, 2045); }, 0x26));
    EXPECT_EQ("REV0.07", std::string(reinterpret_cast<const char*>(Answer() + 3), 7));
}

TEST_F(SimLine, NvWriteThenReadReturnsTheWrittenBytesAndTheNextRunKeepsThem)
{
    StartSim();
    Connect();
    Bytes image(kSettingsImageSize, 0);
    const std::string uim = "13572468";
    std::copy(uim.begin(), uim.end(), image.begin() + kUimLockOffset);
    image[kLockCodeOffset] = 4;
    std::copy_n("9876", 4, image.begin() + kLockCodeOffset + 1);
    for (size_t i = 0; i < 81; ++i)
        image[kHomeSidsOffset + i] = static_cast<uint8_t>(0x70 + i); // includes 7D, 7E, 7F
    NvDoc doc;
    doc.Load(image.data(), image.size());
    for (uint16_t item : {2071, 82, 2073})
        ASSERT_TRUE(Ask([&] { DiagRequests::NvWriteRequest(*m_comm, item, NvItemData::ForWrite(doc, item)); }, 0x27)) << item;

    ASSERT_TRUE(Ask([&] { DiagRequests::NvReadRequest(*m_comm, 2071); }, 0x26));
    EXPECT_EQ(uim, std::string(reinterpret_cast<const char*>(Answer() + 3), 8));
    ASSERT_TRUE(Ask([&] { DiagRequests::NvReadRequest(*m_comm, 2073); }, 0x26));
    EXPECT_EQ(0, Answer()[3]) << "the tool writes the first byte as 0";
    EXPECT_TRUE(std::equal(image.begin() + kHomeSidsOffset + 1, image.begin() + kHomeSidsOffset + 81, Answer() + 4));
    StopSim();

    SimState next;
    std::string error;
    ASSERT_TRUE(next.Load(m_handsetOptions.statePath, error)) << error;
    EXPECT_EQ(uim, next.UimLockCode());
    EXPECT_EQ("9876", next.LockCode());
    EXPECT_EQ(*m_state.Item(2073), *next.Item(2073));
}

TEST_F(SimLine, PrlOf250BytesArrivesAsThreePiecesAndIsReassembledExactly)
{
    StartSim();
    Connect();
    Bytes prl = RandomBytes(250, 7);
    auto piece = [&](uint8_t n) {
        Bytes request(126, 0);
        size_t count = std::min<size_t>(120, prl.size() - n * 120u);
        request[0] = 0x48;
        request[1] = n;
        request[2] = n < 2 ? 1 : 0;
        request[4] = static_cast<uint8_t>(count * 8);
        request[5] = static_cast<uint8_t>(count * 8 >> 8);
        std::copy_n(prl.begin() + n * 120, count, request.begin() + 6);
        return request;
    };
    auto send = [&](const Bytes& request) {
        return Ask([&] { m_comm->SendFrame(request.data(), static_cast<uint16_t>(request.size())); }, 0x48);
    };
    ASSERT_TRUE(send(piece(0)));
    EXPECT_EQ(4, Answer()[1]) << "refused while the handset is locked";
    ASSERT_TRUE(Ask([&] { DiagRequests::PasswordRequest(*m_comm); }, -1));
    ASSERT_EQ(1, Answer()[1]) << "the fixed password is accepted";
    for (uint8_t n = 0; n < 3; ++n) {
        ASSERT_TRUE(send(piece(n)));
        EXPECT_EQ(n < 2 ? 1 : 0, Answer()[1]) << "piece " << int(n);
    }
    Bytes eri = piece(2); // a one-piece ERI file for NAM2
    eri[0] = 0x4C;
    eri[1] = 0;
    eri[3] = 1;
    ASSERT_TRUE(Ask([&] { m_comm->SendFrame(eri.data(), static_cast<uint16_t>(eri.size())); }, 0x4C));
    EXPECT_EQ(0, Answer()[1]);
    StopSim();

    EXPECT_EQ(prl, m_handset->Roaming().Completed(RoamingAssembler::FileKind::Prl, 0));
    EXPECT_EQ(prl, ReadFile(m_dir / "nam1.prl"));
    EXPECT_EQ(Bytes(prl.begin() + 240, prl.end()), ReadFile(m_dir / "nam2.eri"));
    EXPECT_FALSE(std::filesystem::exists(m_dir / "nam2.prl"));
    EXPECT_EQ(2u, LogCount("\"bits\":80,")) << "the last PRL piece and the ERI carry 10 bytes";
    EXPECT_EQ(5u, LogCount("\"dir\":\"rx\",\"mode\":\"normal\",\"more\":")) << "one refused while locked, four taken";
    EXPECT_EQ(2u, LogCount("\"complete\":true"));
}

TEST_F(SimLine, FlashBlockRefusedOnceIsAcceptedWhenSentAgain)
{
    m_faults.NakBlock(1, 0xA2);
    StartSim();
    Connect();
    Bytes image = RandomBytes(3 * 0x2000, 11);
    ASSERT_TRUE(AskLoader({0x3A}, 0x3A));
    EXPECT_TRUE(Pacing::Instance().Sleep(3 * sim::kDefaultResetMs)); // the handset restarts into its loader

    ASSERT_TRUE(AskLoader(WithLe32({0xA0}, {0xFFFF0000, 0x10000}), 2));
    ASSERT_TRUE(AskLoader(WithLe32({0xD0}, {0x12345678}), 2));
    for (Bytes step : {Bytes{0xB0}, Bytes{0xF0, 0x01}, WithLe32({0xC0}, {0}), Bytes{0xA0}})
        ASSERT_TRUE(AskLoader(step, 2)) << std::hex << int(step[0]);
    ASSERT_TRUE(AskLoader(WithLe32({0xEE}, {0, static_cast<uint32_t>(image.size())}), 2));
    std::vector<uint8_t> answers;
    for (uint32_t block = 0; block < 3;) {
        ASSERT_TRUE(AskLoader(WriteBlock(block * 0x2000, image)));
        answers.push_back(Answer()[0]);
        if (Answer()[0] < 0xA1 || Answer()[0] > 0xA3)
            ++block;
    }
    EXPECT_EQ((Bytes{2, 0xA2, 2, 2}), answers);
    ASSERT_TRUE(AskLoader(WithLe32({0xC0}, {0}), 2)) << "the jump that restarts the handset";
    StopSim();

    EXPECT_EQ(image, m_handset->Loader().Flash().ProgrammedRun(0));
    EXPECT_EQ(image, ReadFile(m_handsetOptions.flashOut));
    EXPECT_EQ(SimHandset::Mode::Normal, m_handset->CurrentMode());
}

TEST_F(SimLine, EmergencyHandsetSpeaksOnlyTheLoaderProtocol)
{
    m_handsetOptions.emergency = true;
    StartSim();
    Connect();
    EXPECT_FALSE(Ask([&] { DiagRequests::StatusRequest(*m_comm); }, -1, 3000));
    ASSERT_TRUE(AskLoader(WithLe32({0xA0}, {0x2E00000, 0x4000}), 2));
    ASSERT_TRUE(AskLoader(WithLe32({0xD0}, {0})));
    EXPECT_EQ(0xAC, Answer()[0]) << "no code image version: the font-only answer";
    ASSERT_TRUE(AskLoader(WriteBlock(0, RandomBytes(0x2000, 3))));
    EXPECT_EQ(sim::kFlashNotErased, Answer()[0]);
    Bytes shortBlock = WithLe32({0xDD}, {0});
    ASSERT_TRUE(AskLoader(shortBlock));
    EXPECT_EQ(sim::kFlashBadRequest, Answer()[0]);
}

TEST_F(SimLine, HangUpIsSeenByTheToolAsAClosedLine)
{
    m_faults.HangUpAfter(0x0C, 2);
    m_transportOptions.byIdDir = (m_dir / "by-id").string();
    StartSim();
    EXPECT_TRUE(std::filesystem::is_symlink(m_transport->ByIdPath()));
    EXPECT_NE(std::string::npos, m_transport->ByIdPath().find("qxcdmdm"));
    Connect();
    ASSERT_TRUE(Ask([&] { DiagRequests::StatusRequest(*m_comm); }, 0x0C));
    EXPECT_FALSE(Ask([&] { DiagRequests::StatusRequest(*m_comm); }, 0x0C, 3000));
    EXPECT_TRUE(Eventually([&] { return m_comm->LineLost(); }));
    uint8_t byte = 0;
    EXPECT_FALSE(m_comm->Write(&byte, 1));
    EXPECT_FALSE(std::filesystem::exists(m_dir / "by-id" / sim::kDefaultByIdName)) << "udev's link goes with the cable";
    EXPECT_EQ(1u, LogCount("\"event\":\"hangup\""));
    StopSim();
    EXPECT_TRUE(m_transport->HungUp());
}

TEST_F(SimLine, DroppedAndCorruptedAnswersCostTheToolARetry)
{
    m_faults.DropFirst(0x0C, 2);
    m_faults.CorruptAnswer(0x00, 1);
    StartSim();
    Connect();
    ASSERT_TRUE(Ask([&] { DiagRequests::StatusRequest(*m_comm); }, 0x0C, 30000));
    ASSERT_TRUE(Ask([&] { DiagRequests::VersionRequest(*m_comm); }, 0x00));
    EXPECT_EQ(0x93, DiagAnswers::VersionModelCode(Answer()));
    EXPECT_EQ(3u, LogCount("\"cmd\":\"StatusRequest\",\"code\":12,\"dir\":\"rx\""));
    EXPECT_EQ(2u, LogCount("\"event\":\"dropped\""));
    EXPECT_EQ(2u, LogCount("\"cmd\":\"VersionRequest\",\"code\":0,\"dir\":\"rx\""));
    EXPECT_EQ(1u, LogCount("\"corrupted\":true"));
}

TEST_F(SimLine, ResetMakesTheHandsetQuietForAMoment)
{
    m_handsetOptions.resetMs = 100000; // 1 s at the tests' time scale
    StartSim();
    Connect();
    ASSERT_TRUE(Ask([&] { DiagRequests::ModeControlRequest(*m_comm, 1); }, 0x29));
    DiagRequests::ModeControlRequest(*m_comm, 2);
    EXPECT_FALSE(Ask([&] { DiagRequests::StatusRequest(*m_comm); }, 0x0C, 10000));
    EXPECT_TRUE(Eventually([&] { return Ask([&] { DiagRequests::StatusRequest(*m_comm); }, 0x0C, 10000); }));
    EXPECT_GE(LogCount("\"reason\":\"restarting\""), 3u);
    EXPECT_EQ(1u, LogCount("\"mode\":1,\"offline\":true"));
    StopSim();
    EXPECT_FALSE(m_handset->Offline()) << "a restart brings the handset back online";
}

TEST_F(SimLine, MalformedInputNeverStopsTheHandset)
{
    StartSim();
    Connect();
    Bytes noise = RandomBytes(30000, 5);
    noise.push_back(0x7E);
    ASSERT_TRUE(m_comm->Write(noise.data(), static_cast<uint32_t>(noise.size())));
    Bytes overlong(45000, 0x41);
    overlong.push_back(0x7E); // the flag that ends it, or the next request would be swallowed
    ASSERT_TRUE(m_comm->Write(overlong.data(), static_cast<uint32_t>(overlong.size())));
    auto send = [&](Bytes request) { m_comm->SendFrame(request.data(), static_cast<uint16_t>(request.size())); };
    ASSERT_TRUE(Ask([&] { send({0x7E, 0x01, 0x02}); }, 0x13)) << "an unknown command is answered as unknown";
    EXPECT_EQ(0x7E, Answer()[1]);
    ASSERT_TRUE(Ask([&] { send({0x26, 0x52}); }, 0x15)) << "a short NV read";
    ASSERT_TRUE(Ask([&] { send({0x29, 0x09, 0x00}); }, 0x14)) << "no mode 9";
    ASSERT_TRUE(Ask([&] { DiagRequests::StatusRequest(*m_comm); }, 0x0C));
}

TEST_F(SimLine, ThrottledLineTakesTheLineTimeOfABlock)
{
    m_handsetOptions.emergency = true;
    m_transportOptions.lineRate = 115200;
    StartSim();
    Connect();
    Bytes image(0x2000, 0x11); // nothing to escape: 8199 bytes and 3 of framing
    ASSERT_TRUE(AskLoader(WithLe32({0xEE}, {0, 0x2000}), 2));
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(AskLoader(WriteBlock(0, image), 2));
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(seconds, (8199 + 3 + 4) / 11520.0);
    EXPECT_LT(seconds, 5.0);
}

// Served where asked, and said where: without a host, on this machine's
// loopback address only, never on every interface.
TEST_F(SimLine, TcpClientOnANetworkPortIsServedTheSameHandset)
{
    const std::pair<const char*, const char*> cases[] = {
        {"127.0.0.1:0", "127.0.0.1:"},
        {":0", "127.0.0.1:"},
        {"localhost:0", "127.0.0.1:"},
    };
    for (const auto& [asked, bound] : cases) {
        SCOPED_TRACE(asked);
        m_transportOptions.tcp = asked;
        m_state.SetEsn(0xCAFE0001);
        StartSim();
        const std::string address = m_transport->TcpAddress();
        EXPECT_EQ(0u, address.rfind(bound, 0)) << address;
        EXPECT_GT(std::stoi(address.substr(address.rfind(':') + 1)), 0) << "the port actually bound";
        Connect(130);
        ASSERT_TRUE(Ask([&] { DiagRequests::StatusRequest(*m_comm); }, 0x0C));
        EXPECT_EQ(0xCAFE0001u, DiagAnswers::StatusEsn(Answer()));
        StopSim();
    }
}

// Told of each open by inotify, and where the user has no inotify instance
// left (a tray of more than 128), by looking for it.
TEST_F(SimLine, IdleHandsetUsesNoCpuAndFindsEachOpen)
{
    for (const bool watchOpens : {true, false}) {
        m_transportOptions.watchOpens = watchOpens;
        StartSim();
        auto idleCpu = [&] {
            double before = ThreadCpuMs(m_thread);
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            return ThreadCpuMs(m_thread) - before;
        };
        const std::string how = watchOpens ? "with inotify: " : "without inotify: ";
        EXPECT_LT(idleCpu(), 5.0) << how << "nobody on the line";
        Connect();
        ASSERT_TRUE(Ask([&] { DiagRequests::StatusRequest(*m_comm); }, 0x0C)) << how;
        EXPECT_LT(idleCpu(), 5.0) << how << "a tool on the line, silent";
        m_comm.reset();
        EXPECT_LT(idleCpu(), 5.0) << how << "the tool closed the line";
        Connect();
        EXPECT_TRUE(Ask([&] { DiagRequests::StatusRequest(*m_comm); }, 0x0C)) << how << "and it comes back";
        StopSim();
    }
}

TEST_F(SimLine, DelayedAnswerIsFollowedByAJunkFrameOfItsOwn)
{
    m_transportOptions.delayMs = 20000; // 200 ms at the tests' time scale
    m_transportOptions.garbageBytes = 8;
    StartSim();
    int fd = ::open(m_transport->SlavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    Bytes request;
    FrameCodec::EncodeFrame(Bytes{0x0C}.data(), 1, false, false, request);
    auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(static_cast<ssize_t>(request.size()), ::write(fd, request.data(), request.size()));
    Bytes received;
    std::optional<double> firstByteSeconds;
    for (pollfd pfd{fd, POLLIN, 0}; ::poll(&pfd, 1, 1000) > 0;) {
        uint8_t buffer[256];
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        if (!firstByteSeconds)
            firstByteSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        received.insert(received.end(), buffer, buffer + n);
    }
    ::close(fd);
    ASSERT_TRUE(firstByteSeconds);
    EXPECT_GE(*firstByteSeconds, 0.2);
    ASSERT_GE(received.size(), 9u);
    Bytes answer(received.begin(), received.end() - 9);
    Bytes junk(received.end() - 9, received.end());
    EXPECT_EQ(0x0C, answer.front());
    EXPECT_EQ(0x7E, answer.back());
    EXPECT_EQ(1, std::count(answer.begin(), answer.end(), 0x7E)) << "one answer, one closing flag";
    EXPECT_EQ(0x7E, junk.back());
    EXPECT_EQ(1, std::count(junk.begin(), junk.end(), 0x7E)) << "the junk is a frame of its own";
}
