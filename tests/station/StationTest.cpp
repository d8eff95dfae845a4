#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <QUuid>
#include <algorithm>

#include "FreshStore.h"
#include "ports/PortTable.h"
#include "ports/UserSettings.h"
#include "station/Station.h"
#include "station/StationConstants.h"
#include "engine/TransferRate.h"

using namespace corvanetov;

namespace {

constexpr int kGiveUpMs = 10000;
constexpr char kSerialByPathVariable[] = "CORVANETOV_SERIAL_BY_PATH";

// The station's child: it checks the options every job gets in front and
// then does what the handset's file says (the file is the "device").
constexpr char kJobProgram[] = "#!/bin/sh\n"
                               "[ \"$1\" = --json ] && [ \"$2\" = --port ] || exit 64\n"
                               ". \"$3\"\n";

// What a handset's job does.
constexpr char kQuick[] = "echo '{\"esn\":\"8D2A41F0\"}'; exit 0";
constexpr char kSlow[] = "echo '{\"step\":\"Download Start\"}'; sleep 0.4; exit 0";
constexpr char kDownloadRestart[] = "echo '{\"step\":\"Changing D/L Mode\"}'; sleep 2.5; exit 0";
const StationOptions kOnce{true, {}, 0};
constexpr char kHang[] = "echo '{\"step\":\"Erasing\"}'; exec sleep 30";

QString LinkName(const QString& handset)
{
    return QStringLiteral("usb-Corvane_VQX-B410_%1_qxcdmdm-if02-port0").arg(handset);
}

class StationTest : public FreshStore {
protected:
    void SetUp() override
    {
        static int argc = 1;
        static char name[] = "test_station";
        static char* argv[] = {name, nullptr};
        static QCoreApplication application(argc, argv);
        FreshStore::SetUp();
        ASSERT_TRUE(m_folder.isValid());
        QDir(m_folder.path()).mkpath(QStringLiteral("by-id"));
        QDir(m_folder.path()).mkpath(QStringLiteral("handsets"));
        QDir(m_folder.path()).mkpath(QStringLiteral("by-path"));
        qputenv(ports::kSerialByIdVariable, m_folder.filePath(QStringLiteral("by-id")).toLocal8Bit());
        qputenv(kSerialByPathVariable, m_folder.filePath(QStringLiteral("by-path")).toLocal8Bit());
        QFile program(m_folder.filePath(QStringLiteral("job.sh")));
        ASSERT_TRUE(program.open(QIODevice::WriteOnly));
        program.write(kJobProgram);
        program.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    void TearDown() override
    {
        m_station.reset();
        qunsetenv(ports::kSerialByIdVariable);
        qunsetenv(kSerialByPathVariable);
    }

    // slot: the USB port it is plugged into, where the system names one.
    void Plug(const QString& handset, const char* script = kQuick, const QString& slot = {})
    {
        QFile file(m_folder.filePath(QStringLiteral("handsets/") + handset));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(script);
        file.close();
        ASSERT_TRUE(QFile::link(file.fileName(), Link(handset)));
        if (!slot.isEmpty()) {
            ASSERT_TRUE(QFile::link(file.fileName(), Slot(slot)));
        }
    }
    QString Slot(const QString& slot) const { return m_folder.filePath(QStringLiteral("by-path/") + slot); }
    void Unplug(const QString& handset) { ASSERT_TRUE(QFile::remove(Link(handset))); }
    QString Link(const QString& handset) const { return m_folder.filePath(QStringLiteral("by-id/") + LinkName(handset)); }

    Station& Start(StationOptions options = {}, std::optional<QByteArray> msl = std::nullopt)
    {
        StationRequest request;
        request.program = m_folder.filePath(QStringLiteral("job.sh"));
        request.options = {QStringLiteral("--time-scale"), QStringLiteral("0.01")};
        request.job = {QStringLiteral("flash"), QStringLiteral("--option"), QStringLiteral("0")};
        request.msl = msl;
        m_station = std::make_unique<Station>(request, options);
        QObject::connect(m_station.get(), &Station::Line, [this](const QByteArray& line) { m_lines << line; });
        QObject::connect(m_station.get(), &Station::RowEnded, [this] { ++m_ended; });
        QObject::connect(m_station.get(), &Station::Ended, [this] { m_allEnded = true; });
        m_station->Start();
        return *m_station;
    }
    bool AwaitEnded(int count) { return QTest::qWaitFor([&] { return m_ended >= count; }, kGiveUpMs); }
    bool AwaitStep(int row)
    {
        return QTest::qWaitFor([&] { return m_station->Rows() > row && !m_station->Row(row).step.isEmpty(); }, kGiveUpMs);
    }
    // Long enough for the listing to be read again: what did not happen by
    // then is not going to.
    void Settle() { QTest::qWait(2 * station::kRescanMs); }
    QJsonObject LastLine() const { return QJsonDocument::fromJson(m_lines.last()).object(); }

    QTemporaryDir m_folder;
    std::unique_ptr<Station> m_station;
    QList<QByteArray> m_lines;
    int m_ended = 0;
    bool m_allEnded = false;
};

// How a job's words and end become its row.
struct EndCase {
    const char* name;
    const char* script;
    StationRow::State state;
    const char* text; // contained in the row's text
    const char* esn;
};

const EndCase kEndCases[] = {
    {"completed", "echo '{\"step\":\"Download Start\"}'; echo '{\"esn\":\"8D2A41F0\"}';"
                  "echo '{\"percent\":40,\"bytes\":4096,\"total\":10240}';"
                  "echo '{\"result\":\"succeeded\",\"text\":\"Completed Flash Programming\"}'; exit 0",
     StationRow::State::Completed, "Completed Flash Programming", "8D2A41F0"},
    {"failed, the last error line", "echo '{\"result\":\"failed\",\"text\":\"Error in writing block\"}';"
                                    "echo 'Error in writing block' >&2;"
                                    "echo 'The line to the handset was lost (cable pulled or device gone).' >&2; exit 1",
     StationRow::State::Failed, "The line to the handset was lost", ""},
    {"failed, its error line in two writes", "printf 'Error in writing' >&2; sleep 0.05; printf ' block\\n' >&2; exit 1",
     StationRow::State::Failed, "Error in writing block", ""},
    {"failed, only its result", "echo '{\"result\":\"failed\",\"text\":\"Error in erasing\"}'; exit 1",
     StationRow::State::Failed, "Error in erasing", ""},
    {"killed", "echo '{\"esn\":\"8D2A41F1\"}'; echo 'Time scale 0.01' >&2; kill -9 $$", StationRow::State::Failed, "signal 9", "8D2A41F1"},
    {"refused as a usage error", "exit 2", StationRow::State::Failed, "status 2", ""},
    {"a line in two writes", "printf '{\"esn\":\"AB'; sleep 0.05; printf 'CD\"}\\n'; exit 0",
     StationRow::State::Completed, "", "ABCD"},
    {"a line that is not JSON", "echo 'plain words'; exit 0", StationRow::State::Completed, "", ""},
    {"stopped by a signal of its own", "exit 130", StationRow::State::Stopped, "", ""},
};

TEST_F(StationTest, JobsEndAsTheirRowsSay)
{
    for (size_t i = 0; i < std::size(kEndCases); ++i)
        Plug(QString::number(i), kEndCases[i].script);
    Station& station = Start(kOnce);
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_allEnded; }, kGiveUpMs));
    ASSERT_EQ(static_cast<int>(std::size(kEndCases)), station.Rows());
    for (int row = 0; row < station.Rows(); ++row) {
        const StationRow& result = station.Row(row);
        const EndCase& expected = kEndCases[QFileInfo(result.device).fileName().section('_', 2, 2).toInt()];
        SCOPED_TRACE(expected.name);
        EXPECT_EQ(expected.state, result.state);
        EXPECT_TRUE(result.text.contains(QLatin1String(expected.text))) << result.text.toStdString();
        EXPECT_EQ(expected.esn, result.esn.toStdString());
        if (result.state == StationRow::State::Completed) {
            EXPECT_TRUE(result.percent == 100 || result.percent == -1) << result.percent;
        }
    }
    // Every line passed on is whole, an object, and names its port.
    for (const QByteArray& line : m_lines) {
        QJsonObject object = QJsonDocument::fromJson(line).object();
        EXPECT_TRUE(object.value("port").toString().startsWith("COM")) << line.toStdString();
    }
    EXPECT_TRUE(std::any_of(m_lines.begin(), m_lines.end(), [](const QByteArray& l) { return l.contains("plain words"); }));
}

// Plugging and unplugging, and what the station makes of it.
TEST_F(StationTest, ServedAgainOnlyAfterReplugged)
{
    Station& station = Start();
    Plug("a");
    ASSERT_TRUE(AwaitEnded(1));
    Plug("b"); // a new listing, in which a is still plugged in
    ASSERT_TRUE(AwaitEnded(2));
    Settle();
    EXPECT_EQ(2, station.Rows());
    Unplug("a");
    Settle();
    ASSERT_TRUE(QFile::link(m_folder.filePath("handsets/a"), Link("a")));
    ASSERT_TRUE(AwaitEnded(3));
    EXPECT_EQ(3, station.Rows());
    EXPECT_EQ(station.Row(0).port, station.Row(2).port) << "the same handset keeps its COM number";
}

// A handset unplugged in each state of its row: a waiting one is never
// started, a running one's job goes on, an ended one leaves its row as it
// was; the station serves on and the handset plugged in again is served.
TEST_F(StationTest, UnpluggedInEveryStateOfItsRow)
{
    Plug("a", kSlow);
    Plug("b");
    Plug("c");
    Station& station = Start({false, {}, 1});
    ASSERT_TRUE(AwaitStep(0));
    auto row = [&](const char* handset) {
        for (int i = 0; i < station.Rows(); ++i) {
            if (station.Row(i).device == Link(handset))
                return i;
        }
        return -1;
    };
    ASSERT_EQ(StationRow::State::Running, station.Row(row("a")).state);
    ASSERT_EQ(StationRow::State::Waiting, station.Row(row("b")).state);
    Unplug("b");
    Unplug("a");
    ASSERT_TRUE(AwaitEnded(3));
    EXPECT_EQ(StationRow::State::Stopped, station.Row(row("b")).state);
    EXPECT_EQ(station::kStoppedBeforeStart, station.Row(row("b")).text.toStdString());
    EXPECT_EQ(StationRow::State::Completed, station.Row(row("a")).state);
    EXPECT_EQ(StationRow::State::Completed, station.Row(row("c")).state);
    Unplug("c");
    Settle();
    EXPECT_EQ(StationRow::State::Completed, station.Row(row("c")).state);
    ASSERT_TRUE(QFile::link(m_folder.filePath("handsets/c"), Link("c")));
    ASSERT_TRUE(AwaitEnded(4));
    EXPECT_EQ(4, station.Rows());
    EXPECT_EQ(StationRow::State::Completed, station.Row(3).state);
}

// A bench that names its handsets by serial number: 130 handsets plugged
// in and gone. The two the port table had no number for are said in their
// rows; an hour later the numbers of those away longest go to new ones.
TEST_F(StationTest, PortTableFullIsSaidAndItsOldestNumbersServeNewHandsets)
{
    constexpr int kHandsets = ports::kLastSerialPort + 2;
    for (int i = 0; i < kHandsets; ++i)
        Plug(QString::number(1000 + i));
    Station& station = Start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_ended >= kHandsets; }, 6 * kGiveUpMs));
    EXPECT_EQ(ports::kLastSerialPort, station.Summary().completed);
    for (int row = ports::kLastSerialPort; row < kHandsets; ++row) {
        EXPECT_EQ(StationRow::State::Failed, station.Row(row).state);
        EXPECT_TRUE(station.Row(row).text.startsWith("No free COM number: every COM number is taken"))
            << station.Row(row).text.toStdString();
    }
    for (int i = 0; i < kHandsets; ++i)
        Unplug(QString::number(1000 + i));
    Settle();
    const qint64 hoursAgo = QDateTime::currentSecsSinceEpoch() - 2 * ports::kReuseAfterSeconds;
    for (int port = 1; port <= ports::kLastSerialPort; ++port)
        UserSettings::WriteString(ports::kPortSeenKey, PortTable::ValueName(port), QString::number(hoursAgo - port % 7));
    Plug("new");
    ASSERT_TRUE(AwaitEnded(kHandsets + 1));
    EXPECT_EQ(StationRow::State::Completed, station.Row(kHandsets).state);
    EXPECT_EQ("COM6", station.Row(kHandsets).port.toStdString()) << "the number seen longest ago";
}

TEST_F(StationTest, HandsetBackUnderItsOwnNameDuringItsJobIsTheJobs)
{
    Station& station = Start();
    Plug("a", kDownloadRestart);
    ASSERT_TRUE(AwaitStep(0));
    Unplug("a");
    Settle();
    ASSERT_TRUE(QFile::link(m_folder.filePath("handsets/a"), Link("a")));
    ASSERT_TRUE(AwaitEnded(1));
    Settle();
    EXPECT_EQ(1, station.Rows());
    EXPECT_EQ(StationRow::State::Completed, station.Row(0).state);
}

TEST_F(StationTest, HandsetBackUnderANewNameAfterTheSwitchToDownloadModeIsTheJobs)
{
    Station& station = Start();
    Plug("a", kDownloadRestart);
    ASSERT_TRUE(AwaitStep(0));
    Unplug("a");
    Settle();
    Plug("a-download", kQuick);
    ASSERT_TRUE(AwaitEnded(1));
    Settle();
    EXPECT_EQ(1, station.Rows()) << "the new device is the restarting handset";
    // Once its job has ended, it is a handset like any other.
    Unplug("a-download");
    Settle();
    ASSERT_TRUE(QFile::link(m_folder.filePath("handsets/a-download"), Link("a-download")));
    ASSERT_TRUE(AwaitEnded(2));
    EXPECT_EQ(2, station.Rows());
}

// A handset's by-id name changes in download mode; its slot does not. A
// new handset plugged into another slot meanwhile is a handset of its own.
TEST_F(StationTest, HandsetBackInItsSlotUnderANewNameIsTheJobsAndAnotherSlotGetsItsOwnRow)
{
    Station& station = Start();
    Plug("a", kDownloadRestart, "port1");
    ASSERT_TRUE(AwaitStep(0));
    Unplug("a");
    Settle();
    Plug("c", kQuick, "port2");
    Settle();
    ASSERT_TRUE(QFile::link(m_folder.filePath("handsets/a"), Link("a-download")));
    ASSERT_TRUE(AwaitEnded(2));
    Settle();
    ASSERT_EQ(2, station.Rows());
    EXPECT_EQ(Slot("port1"), station.Row(0).device) << "the job opens the handset by its slot";
    EXPECT_EQ(Slot("port2"), station.Row(1).device);
    EXPECT_EQ(StationRow::State::Completed, station.Row(0).state);
    EXPECT_EQ(StationRow::State::Completed, station.Row(1).state);
}

// A device's links come one by one: a slot named after its handset was
// listed takes the handset's row with it.
TEST_F(StationTest, SlotNamedAfterItsHandsetWasListedKeepsTheRow)
{
    Station& station = Start();
    Plug("a", kDownloadRestart);
    ASSERT_TRUE(AwaitStep(0));
    ASSERT_TRUE(QFile::link(m_folder.filePath("handsets/a"), Slot("port1")));
    ASSERT_TRUE(QFile::link(m_folder.filePath("handsets/a"), Link("a-download")));
    Settle();
    Unplug("a");
    ASSERT_TRUE(AwaitEnded(1));
    Settle();
    EXPECT_EQ(1, station.Rows());
}

// One handset under two names (no slot to tell): its second row is not served.
TEST_F(StationTest, SecondRowOfOneEsnIsNotServed)
{
    constexpr char kIdentified[] = "echo '{\"esn\":\"8D2A41F0\"}'; sleep 1; exit 0";
    Plug("a", kIdentified);
    Station& station = Start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return station.Rows() == 1 && !station.Row(0).esn.isEmpty(); }, kGiveUpMs));
    Plug("b", kIdentified);
    ASSERT_TRUE(AwaitEnded(2));
    EXPECT_EQ(StationRow::State::Completed, station.Row(0).state);
    EXPECT_EQ(StationRow::State::Stopped, station.Row(1).state);
    EXPECT_EQ("not served: the same handset (ESN 8D2A41F0) as " + station.Row(0).port.toStdString() + "'s row",
              station.Row(1).text.toStdString());
}

TEST_F(StationTest, NewHandsetWhileAnotherIsAwayBeforeDownloadModeGetsItsOwnJob)
{
    Station& station = Start();
    Plug("a", kSlow);
    ASSERT_TRUE(AwaitStep(0));
    Unplug("a");
    Settle();
    Plug("b");
    ASSERT_TRUE(AwaitEnded(2));
    EXPECT_EQ(2, station.Rows());
}

TEST_F(StationTest, OnceServesOnlyTheHandsetsListedAtItsStart)
{
    Plug("a", kSlow);
    Plug("b", kSlow);
    Station& station = Start(kOnce);
    Plug("c");
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_allEnded; }, kGiveUpMs));
    EXPECT_EQ(2, station.Rows());
}

TEST_F(StationTest, OnlyTheGivenPorts)
{
    Plug("a");
    Plug("b");
    const QString second = QString::number(PortTable::Instance().NumberFor(Link("b")));
    for (const QString& port : {QString("COM" + second), second, Link("b")}) {
        SCOPED_TRACE(port.toStdString());
        m_allEnded = false;
        Station& station = Start({true, {port}});
        ASSERT_TRUE(QTest::qWaitFor([&] { return m_allEnded; }, kGiveUpMs));
        ASSERT_EQ(1, station.Rows());
        EXPECT_EQ(Link("b"), station.Row(0).device);
    }
}

TEST_F(StationTest, AtMostMaxJobsAtOnce)
{
    constexpr int kHandsets = 5;
    constexpr int kMax = 2;
    for (int i = 0; i < kHandsets; ++i)
        Plug(QString::number(i), kSlow);
    Station& station = Start({true, {}, kMax});
    int most = 0;
    QObject::connect(&station.Model(), &QAbstractItemModel::dataChanged, [&] {
        int running = 0;
        for (int row = 0; row < station.Rows(); ++row)
            running += station.Row(row).state == StationRow::State::Running;
        most = std::max(most, running);
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_allEnded; }, kGiveUpMs));
    EXPECT_EQ(kMax, most);
    EXPECT_EQ(kHandsets, station.Summary().completed);
}

// The code reaches every job on its standard input and on no command line;
// every job of one run carries the same run id.
TEST_F(StationTest, CodeOnStandardInputAndOneRunIdForAll)
{
    const QString args = m_folder.filePath("args-");
    const QByteArray script = "read code; echo \"{\\\"msl\\\":\\\"$code\\\",\\\"run\\\":\\\"$CORVANETOV_STATION_RUN\\\"}\";"
                              "echo \"$*\" > " + args.toLocal8Bit() + "$$; exit 0";
    Plug("a", script.constData());
    Plug("b", script.constData());
    Start(kOnce, QByteArray("123456"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_allEnded; }, kGiveUpMs));
    ASSERT_EQ(2, m_lines.size());
    QJsonObject first = QJsonDocument::fromJson(m_lines[0]).object();
    QJsonObject second = QJsonDocument::fromJson(m_lines[1]).object();
    EXPECT_EQ("123456", first.value("msl").toString().toStdString());
    EXPECT_FALSE(QUuid::fromString(first.value("run").toString()).isNull());
    EXPECT_EQ(first.value("run"), second.value("run"));
    const QStringList written = QDir(m_folder.path()).entryList({"args-*"});
    ASSERT_EQ(2, written.size());
    for (const QString& name : written) {
        QFile file(m_folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray command = file.readAll();
        EXPECT_TRUE(command.contains("--msl -")) << command.toStdString();
        EXPECT_FALSE(command.contains("123456")) << command.toStdString();
    }
}

// The throughput and time left the table shows, from the amounts reported.
struct RateCase {
    const char* name;
    std::vector<std::pair<int, uint64_t>> samples; // milliseconds, bytes done
    std::optional<double> rate;
    uint64_t total;
    std::optional<uint64_t> secondsLeft;
};

const RateCase kRateCases[] = {
    {"one amount: no rate yet", {{0, 4096}}, std::nullopt, 8192, std::nullopt},
    {"steady", {{0, 0}, {1000, 1000}, {2000, 2000}}, 1000.0, 5000, 3},
    {"a pause of the past drops out", {{0, 0}, {1000, 10000}, {7000, 10000}, {8000, 11000}}, 1000.0, 12000, 1},
    {"a new pass starts afresh", {{0, 0}, {1000, 5000}, {2000, 0}}, std::nullopt, 8192, std::nullopt},
    {"nothing moved", {{0, 100}, {1000, 100}}, std::nullopt, 8192, std::nullopt},
    {"done: no time left", {{0, 0}, {1000, 8192}}, 8192.0, 8192, std::nullopt},
};

// The Device cells tell the rows apart as rows are added: a handset alone
// shows its whole name, beside another only what differs.
TEST_F(StationTest, DeviceCellsFollowTheRowsAdded)
{
    Plug(QStringLiteral("A"), kHang);
    Station& station = Start();
    ASSERT_TRUE(AwaitStep(0));
    EXPECT_EQ(QStringLiteral("Corvane_VQX-B410_A_qxcdmdm"), station.Model().Text(0, StationModel::Device));
    Plug(QStringLiteral("B"), kHang);
    ASSERT_TRUE(AwaitStep(1));
    EXPECT_EQ(QStringLiteral("A"), station.Model().Text(0, StationModel::Device));
    EXPECT_EQ(QStringLiteral("B"), station.Model().Text(1, StationModel::Device));
    station.StopAll();
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_allEnded; }, kGiveUpMs));
}

// The table is drawn several times a second: a draw costs as much per row
// with 128 rows as with 16. Each cell worked out every row's device label
// once, so that eight times the rows cost sixty-four times the time.
TEST(StationModelCost, ADrawCostsInProportionToItsRows)
{
    auto drawSeconds = [](int rows) {
        std::vector<std::unique_ptr<StationJob>> jobs;
        StationModel model(jobs);
        for (int row = 0; row < rows; ++row) {
            StationRow each;
            each.device = QStringLiteral("/dev/serial/by-id/") + LinkName(QString::number(row));
            model.AddRow([&] { jobs.push_back(std::make_unique<StationJob>(StationRequest{}, each)); });
        }
        double fastest = 1e9;
        for (int draw = 0; draw < 5; ++draw) {
            QElapsedTimer timer;
            timer.start();
            for (int row = 0; row < rows; ++row)
                for (int column = 0; column < StationModel::ColumnCount; ++column)
                    model.Text(row, column);
            fastest = std::min(fastest, static_cast<double>(timer.nsecsElapsed()) / 1e9);
        }
        return fastest;
    };
    const double few = drawSeconds(16);
    const double many = drawSeconds(128);
    EXPECT_LT(many, 24 * few) << "16 rows " << few << " s, 128 rows " << many << " s";
}

TEST(TransferRateTest, RateAndTimeLeft)
{
    for (const RateCase& c : kRateCases) {
        SCOPED_TRACE(c.name);
        TransferRate rate;
        const TransferRate::Clock::time_point start{};
        for (const auto& [ms, bytes] : c.samples)
            rate.Add(bytes, start + std::chrono::milliseconds(ms));
        EXPECT_EQ(c.rate, rate.BytesPerSecond());
        EXPECT_EQ(c.secondsLeft, rate.SecondsLeft(c.total));
    }
}

// Stop all: the running jobs end and say where they were, the waiting ones
// never start, and the station says when all have ended.
TEST_F(StationTest, StopAllEndsRunningAndWaitingJobs)
{
    Plug("a", kHang);
    Plug("b", kHang);
    Plug("c", kHang);
    Station& station = Start({false, {}, 2});
    ASSERT_TRUE(AwaitStep(0) && AwaitStep(1));
    QElapsedTimer stopping;
    stopping.start();
    station.StopAll();
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_allEnded; }, kGiveUpMs));
    EXPECT_LT(stopping.elapsed(), station::kStopGraceMs) << "a job that is asked to stop ends at once";
    EXPECT_EQ(3, station.Summary().stopped);
    EXPECT_TRUE(station.Row(0).text.contains("Erasing")) << station.Row(0).text.toStdString();
    EXPECT_EQ(station::kStoppedBeforeStart, station.Row(2).text.toStdString());
    EXPECT_EQ(0, station.Row(2).Seconds()) << "a row that never started took no time";
    EXPECT_GT(station.Row(0).Seconds(), 0);
}

} // namespace
