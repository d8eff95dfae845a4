#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include "FreshStore.h"
#include "forms/StationWindow.h"
#include "station/StationModel.h"

using namespace corvanetov;

namespace {

constexpr int kGiveUpMs = 10000;
constexpr int kHandsets = 4;
constexpr int kScreenWidth = 1280;

// The command line each handset's job runs: it takes the job, then does
// what the handset's file (its "device") says.
constexpr char kCommandLine[] = "#!/bin/sh\n"
                                "[ \"$2\" = --check-only ] && exit 0\n"
                                "[ \"$1\" = --json ] && [ \"$2\" = --port ] || exit 64\n"
                                ". \"$3\"\n";
// A flash as the command line reports it, its step long enough to crowd the row.
constexpr char kFlash[] = "echo '{\"step\":\"Identifying the restarted phone after Flash Programming of Boot\"}';"
                          "printf '%s\\n' '{\"result\":\"succeeded\",\"text\":\"Completed Flash Programming\\nNow running B410V01.07\"}';"
                          "exit 0";

// The station window on a bench of four handsets plugged in before it
// opened, a code image in the software folder, and a stand-in command line
// on the PATH.
class StationWindowTest : public FreshStore {
protected:
    void SetUp() override
    {
        static int argc = 1;
        static char name[] = "test_station_window";
        static char* argv[] = {name, nullptr};
        static QApplication application(argc, argv);
        FreshStore::SetUp();
        ASSERT_TRUE(m_folder.isValid());
        QDir folder(m_folder.path());
        ASSERT_TRUE(folder.mkpath(QStringLiteral("by-id")) && folder.mkpath(QStringLiteral("bin")) &&
                    folder.mkpath(QStringLiteral("Models/VQX-B290/Software")));
        Write(QStringLiteral("bin/corvanetov-cli"), kCommandLine);
        QFile::setPermissions(m_folder.filePath(QStringLiteral("bin/corvanetov-cli")), QFile::ReadOwner | QFile::ExeOwner);
        Write(QStringLiteral("Models/VQX-B290/Software/B410V01.07.bin"), "code");
        for (int handset = 0; handset < kHandsets; ++handset) {
            const QString file = QStringLiteral("handset%1").arg(handset);
            Write(file, kFlash);
            ASSERT_TRUE(QFile::link(m_folder.filePath(file),
                                    folder.filePath(QStringLiteral("by-id/usb-Corvane_VQX-B410_%1_qxcdmdm-if02-port0").arg(handset))));
        }
        qputenv(ports::kSerialByIdVariable, folder.filePath(QStringLiteral("by-id")).toLocal8Bit());
        m_path = qgetenv("PATH");
        qputenv("PATH", folder.filePath(QStringLiteral("bin")).toLocal8Bit() + ':' + m_path);
        m_current = QDir::currentPath();
        QDir::setCurrent(m_folder.path());
    }
    void TearDown() override
    {
        QDir::setCurrent(m_current);
        qputenv("PATH", m_path);
        qunsetenv(ports::kSerialByIdVariable);
    }
    void Write(const QString& name, const char* text) const
    {
        QFile file(m_folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    static std::string CellText(const QTableView& table, int row, int column)
    {
        return table.model()->index(row, column).data().toString().toStdString();
    }

    QTemporaryDir m_folder;
    QByteArray m_path;
    QString m_current;
};

// Before Start the window lists the bench by what tells the handsets apart,
// with the software folder's image chosen; after it, every row says where
// its flash ended and the result is in view on a 1280-pixel screen.
TEST_F(StationWindowTest, ListsTheBenchAndShowsHowEachEnded)
{
    StationWindow window;
    window.show();
    auto* table = window.findChild<QTableView*>();
    ASSERT_TRUE(table);
    ASSERT_TRUE(QTest::qWaitFor([&] { return table->model() && table->model()->rowCount() == kHandsets; }, kGiveUpMs));
    for (int row = 0; row < kHandsets; ++row)
        EXPECT_EQ(std::to_string(row), CellText(*table, row, StationModel::Device));
    EXPECT_EQ(m_folder.filePath(QStringLiteral("Models/VQX-B290/Software/B410V01.07.bin")).toStdString(),
              window.findChild<QLineEdit*>(QStringLiteral("code"))->text().toStdString());

    for (QPushButton* button : window.findChildren<QPushButton*>()) {
        if (button->text() == QLatin1String("&Start"))
            button->click();
    }
    auto* summary = window.findChild<QLabel*>(QStringLiteral("summary"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return summary->text().contains(QLatin1String("4 of 4 completed")); }, kGiveUpMs))
        << summary->text().toStdString();
    for (int row = 0; row < kHandsets; ++row) {
        EXPECT_EQ(std::to_string(row), CellText(*table, row, StationModel::Device));
        EXPECT_EQ("Now running B410V01.07", CellText(*table, row, StationModel::Step));
    }
    const QHeaderView* header = table->horizontalHeader();
    EXPECT_LE(window.frameGeometry().width(), kScreenWidth);
    EXPECT_LE(header->sectionViewportPosition(StationModel::Result) + header->sectionSize(StationModel::Result),
              table->viewport()->width());
    EXPECT_GE(header->sectionSize(StationModel::Result), header->fontMetrics().horizontalAdvance(QStringLiteral("completed")));
}

// What the Device cell shows of a name beside the others listed.
struct LabelCase {
    const char* name;
    const char* device;
    QStringList devices;
    const char* label;
};

const LabelCase kLabelCases[] = {
    {"alone: the name without the bus and interface", "/dev/serial/by-id/usb-Corvane_VQX-B410_qxcdmdm-if02-port0",
     {"/dev/serial/by-id/usb-Corvane_VQX-B410_qxcdmdm-if02-port0"}, "Corvane_VQX-B410_qxcdmdm"},
    {"shared digits stay", "/dev/serial/by-id/usb-Corvane_VQX-B410_11_qxcdmdm-if02-port0",
     {"/dev/serial/by-id/usb-Corvane_VQX-B410_10_qxcdmdm-if02-port0",
      "/dev/serial/by-id/usb-Corvane_VQX-B410_11_qxcdmdm-if02-port0"},
     "11"},
    {"one name the start of another", "/by-id/usb-Corvane_VQX-B410_A1-if02-port0",
     {"/by-id/usb-Corvane_VQX-B410_A1-if02-port0", "/by-id/usb-Corvane_VQX-B410_A1_B-if02-port0"}, "A1"},
    {"a handset in download mode beside a running one", "/by-id/usb-Corvane_VQX-B410_DL_5_qxcdmdm-if00-port0",
     {"/by-id/usb-Corvane_VQX-B410_DL_5_qxcdmdm-if00-port0", "/by-id/usb-Corvane_VQX-B410_6_qxcdmdm-if02-port0"}, "DL_5"},
};

TEST(StationModelTest, DeviceLabelTellsHandsetsApart)
{
    for (const LabelCase& c : kLabelCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.label, StationModel::DeviceLabel(QString::fromLatin1(c.device), c.devices).toStdString());
    }
}

} // namespace
