#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtCore/qtestsupport_core.h>
#include <string>
#include <utility>
#include <vector>

#include "FreshStore.h"
#include "PtyPair.h"
#include "comm/BaseComm.h"
#include "engine/OperationContext.h"
#include "forms/PortSetting.h"
#include "forms/PortSetting2.h"
#include "hostlink/HostNotifier.h"
#include "ports/PortTable.h"

using namespace corvanetov;

namespace {

// A Port Setting dialog whose message boxes are recorded instead of shown.
class RecordingPortSetting : public PortSetting {
public:
    std::vector<std::pair<QString, QString>> messages;

protected:
    void ShowMessage(const QString& text, const QString& detail) override { messages.emplace_back(text, detail); }
};

class PortSettingTest : public FreshStore {
protected:
    static void SetUpTestSuite()
    {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "test_portsetting";
        static char* argv[] = {name, nullptr};
        static QApplication app(argc, argv);
    }
    void SetUp() override
    {
        FreshStore::SetUp();
        OperationContext::Instance().SetSelectedPort(0);
        OperationContext::Instance().SetOperationState(OperationContext::kIdle);
        PortTable::Instance().InstallResolver();
        HostNotifier::Instance().SetCallback(&PortSettingTest::RecordLine, this);
    }
    void TearDown() override
    {
        HostNotifier::Instance().SetCallback(nullptr, nullptr);
        OperationContext::Instance().CloseChannel();
    }

    static void RecordLine(void* context, unsigned message, int line, const char* text)
    {
        EXPECT_EQ(message, 26000u);
        static_cast<PortSettingTest*>(context)->m_lines.emplace_back(line, text);
    }
    static QComboBox* PortList(QDialog& dialog) { return dialog.findChild<QComboBox*>("comboPort"); }
    static QComboBox* BaudList(QDialog& dialog) { return dialog.findChild<QComboBox*>("comboBaud"); }
    static QPushButton* OkButton(QDialog& dialog)
    {
        return dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
    }

    std::vector<std::pair<int, std::string>> m_lines;
};

} // namespace

TEST_F(PortSettingTest, OpensOnTheSelectedPort)
{
    ASSERT_TRUE(PortTable::Instance().Assign(7, "/dev/serial/by-id/usb-handset-if02"));
    for (auto [selected, shown] : {std::pair{0, "COM1"}, {7, "COM7  /dev/serial/by-id/usb-handset-if02"},
                                   {99, "COM99"}, {150, ""}}) {
        OperationContext::Instance().SetSelectedPort(static_cast<uint8_t>(selected));
        PortSetting dialog;
        EXPECT_EQ(PortList(dialog)->currentText(), shown) << selected;
    }
    PortSetting2 rebuild;
    QComboBox* ports = PortList(rebuild);
    ASSERT_EQ(ports->count(), 99);
    EXPECT_EQ(ports->itemText(98), "COM99");
    EXPECT_EQ(ports->itemData(6, Qt::ToolTipRole).toString(), "/dev/serial/by-id/usb-handset-if02");
    EXPECT_FALSE(ports->itemData(5, Qt::ToolTipRole).isValid());
    EXPECT_EQ(BaudList(rebuild)->count(), 5);
    EXPECT_EQ(BaudList(rebuild)->itemText(2), "115200");
    EXPECT_TRUE(BaudList(rebuild)->isHidden());
}

TEST_F(PortSettingTest, RebuildOkSetsThePortAndTellsTheHost)
{
    OperationContext::Instance().SetSelectedPort(4);
    OperationContext::Instance().SetOperationState(OperationContext::kSwDownload);
    PortSetting2 dialog;
    dialog.show();
    PortList(dialog)->setCurrentIndex(11);
    OkButton(dialog)->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(OperationContext::Instance().SelectedPort(), 12);
    EXPECT_EQ(OperationContext::Instance().Channel(), nullptr); // the rebuild opens the port itself
    ASSERT_EQ(m_lines.size(), 1u);
    EXPECT_EQ(m_lines[0], std::make_pair(2, std::string("      Com12")));
}

TEST_F(PortSettingTest, RebuildOkWithNoEntrySelectsNoPort)
{
    OperationContext::Instance().SetSelectedPort(4);
    PortSetting2 dialog;
    PortList(dialog)->setCurrentIndex(-1);
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(OperationContext::Instance().SelectedPort(), 0);
}

TEST_F(PortSettingTest, CancelChangesNothing)
{
    OperationContext::Instance().SetSelectedPort(4);
    PortSetting2 rebuild;
    PortList(rebuild)->setCurrentIndex(20);
    rebuild.reject();
    RecordingPortSetting dialog;
    PortList(dialog)->setCurrentIndex(20);
    dialog.reject();
    EXPECT_EQ(OperationContext::Instance().SelectedPort(), 4);
    EXPECT_TRUE(m_lines.empty());
    EXPECT_TRUE(dialog.messages.empty());
}

TEST_F(PortSettingTest, OkOpensTheChannelOnTheChosenPort)
{
    PtyPair handset;
    ASSERT_TRUE(PortTable::Instance().Assign(5, QString::fromStdString(handset.SlavePath())));
    RecordingPortSetting dialog;
    dialog.show();
    PortList(dialog)->setCurrentIndex(4);
    OkButton(dialog)->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(dialog.messages.empty());
    BaseComm* channel = OperationContext::Instance().Channel();
    ASSERT_NE(channel, nullptr);
    EXPECT_TRUE(channel->IsConnected());
    EXPECT_EQ(channel->PortNumber(), 5);
    EXPECT_EQ(channel->BaudRate(), 115200u);
    EXPECT_EQ(channel->ResponseEventName(), "RECEIVE_0_EVENT");
    ASSERT_EQ(m_lines.size(), 1u);
    EXPECT_EQ(m_lines[0], std::make_pair(2, std::string("      Com5")));
}

TEST_F(PortSettingTest, AFailedOpenKeepsTheDialogOpen)
{
    ASSERT_TRUE(PortTable::Instance().Assign(3, "/nonexistent/corvanetov-port"));
    RecordingPortSetting dialog;
    dialog.show();
    PortList(dialog)->setCurrentIndex(2);
    OkButton(dialog)->click();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(OperationContext::Instance().SelectedPort(), 3); // already the chosen port
    ASSERT_EQ(dialog.messages.size(), 1u);
    EXPECT_EQ(dialog.messages[0].first, "Cannot Open ComPort");
    EXPECT_TRUE(dialog.messages[0].second.contains("/nonexistent/corvanetov-port"))
        << dialog.messages[0].second.toStdString();
    EXPECT_TRUE(m_lines.empty());

    // No entry selected: port 0, which no device answers to.
    PortList(dialog)->setCurrentIndex(-1);
    OkButton(dialog)->click();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(OperationContext::Instance().SelectedPort(), 0);
    ASSERT_EQ(dialog.messages.size(), 2u);
    EXPECT_EQ(dialog.messages[1].first, "Cannot Open ComPort");
}

// OK follows the operation state for as long as the dialog is open, and
// says why it waits.
TEST_F(PortSettingTest, OkFollowsTheOperationStateWhileOpen)
{
    OperationContext::Instance().SetOperationState(OperationContext::kSettings);
    RecordingPortSetting dialog;
    dialog.show();
    struct Step {
        int state;
        bool okEnabled;
    };
    for (const Step step : {Step{OperationContext::kSettings, false}, Step{OperationContext::kIdle, true},
                            Step{OperationContext::kPhoneInfo, false}, Step{OperationContext::kIdle, true}}) {
        OperationContext::Instance().SetOperationState(step.state);
        EXPECT_TRUE(QTest::qWaitFor([&] { return OkButton(dialog)->isEnabled() == step.okEnabled; }, 5000))
            << "state " << step.state;
        EXPECT_EQ(OkButton(dialog)->toolTip().isEmpty(), step.okEnabled) << "state " << step.state;
    }
    EXPECT_TRUE(OkButton(dialog)->toolTip().isEmpty());
    OperationContext::Instance().SetOperationState(OperationContext::kSwDownload);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !OkButton(dialog)->isEnabled(); }, 5000));
    EXPECT_TRUE(OkButton(dialog)->toolTip().contains("when it has ended")) << OkButton(dialog)->toolTip().toStdString();
}

// Each entry names the device behind its number, and the handset by name;
// the entry's place still gives the number.
TEST_F(PortSettingTest, PortListShowsTheDeviceBesideItsNumber)
{
    QTemporaryDir devices;
    ASSERT_TRUE(devices.isValid());
    QDir folder(devices.path());
    ASSERT_TRUE(folder.mkdir("by-id"));
    for (const char* name : {"ttyUSB0", "ttyUSB1", "ttyACM0"}) {
        QFile device(folder.filePath(name));
        ASSERT_TRUE(device.open(QIODevice::WriteOnly));
    }
    const QString handsetLink = folder.filePath("by-id/usb-Corvane_VQX-B410_qxcdmdm-if02-port0");
    const QString secondLink = folder.filePath("by-id/usb-Corvane_VQX-B410_0_qxcdmdm-if02-port0");
    const QString otherLink = folder.filePath("by-id/usb-Other_GPS-if00");
    ASSERT_TRUE(QFile::link(folder.filePath("ttyUSB0"), handsetLink));
    ASSERT_TRUE(QFile::link(folder.filePath("ttyUSB1"), secondLink));
    ASSERT_TRUE(QFile::link(folder.filePath("ttyACM0"), otherLink));
    ASSERT_TRUE(PortTable::Instance().Assign(3, handsetLink));
    ASSERT_TRUE(PortTable::Instance().Assign(4, secondLink));
    ASSERT_TRUE(PortTable::Instance().Assign(5, otherLink));
    ASSERT_TRUE(PortTable::Instance().Assign(9, "/dev/serial/by-id/usb-unplugged-if00"));
    qputenv(ports::kSerialByIdVariable, folder.filePath("by-id").toLocal8Bit());

    PortSetting2 dialog;
    qunsetenv(ports::kSerialByIdVariable);
    QComboBox* list = PortList(dialog);
    ASSERT_EQ(list->count(), 99);
    auto device = [&](const char* name) { return QFileInfo(folder.filePath(name)).canonicalFilePath(); };
    // Every handset of a bench is marked, each by the by-id name that tells it apart.
    const std::pair<int, QString> entries[] = {
        {3, "COM3  usb-Corvane_VQX-B410_qxcdmdm-if02-port0 (" + device("ttyUSB0") + ")  VQX-B410"},
        {4, "COM4  usb-Corvane_VQX-B410_0_qxcdmdm-if02-port0 (" + device("ttyUSB1") + ")  VQX-B410"},
        {5, "COM5  usb-Other_GPS-if00 (" + device("ttyACM0") + ")"},
        {9, "COM9  /dev/serial/by-id/usb-unplugged-if00"},
        {1, "COM1"},
        {99, "COM99"},
    };
    for (const auto& [port, text] : entries) {
        EXPECT_EQ(list->itemText(port - 1), text) << port;
        list->setCurrentIndex(port - 1);
        dialog.accept();
        EXPECT_EQ(OperationContext::Instance().SelectedPort(), port);
    }
    EXPECT_EQ(list->itemData(2, Qt::ToolTipRole).toString(), handsetLink);
}

TEST_F(PortSettingTest, ShowsTheNetworkLinkAndForgetsTheChosenEntry)
{
    PortTable& table = PortTable::Instance();
    ASSERT_TRUE(table.Assign(3, "/dev/serial/by-id/usb-bench-if00"));
    ASSERT_TRUE(table.SetTelnet("bench-pc:4001"));
    OperationContext::Instance().SetSelectedPort(140);
    RecordingPortSetting dialog;
    QComboBox* ports = PortList(dialog);
    auto* forget = dialog.findChild<QPushButton*>("buttonForget");
    ASSERT_NE(forget, nullptr);
    // The numbers above 128 are one entry after COM99, on the selected number.
    ASSERT_EQ(ports->count(), 100);
    EXPECT_EQ(ports->currentText(), "COM140  bench-pc:4001  (network link)");
    EXPECT_TRUE(forget->isEnabled());

    ports->setCurrentIndex(0);
    EXPECT_FALSE(forget->isEnabled()); // COM1 names nothing
    ports->setCurrentIndex(2);
    ASSERT_TRUE(forget->isEnabled());
    forget->click();
    EXPECT_EQ(ports->itemText(2), "COM3");
    EXPECT_FALSE(forget->isEnabled());
    EXPECT_EQ(table.DevicePath(3), "");

    ports->setCurrentIndex(99);
    forget->click();
    EXPECT_EQ(ports->count(), 99);
    EXPECT_EQ(table.Target(129), "");
    EXPECT_TRUE(dialog.messages.empty());
}

TEST_F(PortSettingTest, OkOnTheNetworkLinkSelectsItsNumber)
{
    ASSERT_TRUE(PortTable::Instance().SetTelnet("bench-pc:4001"));
    PortSetting2 rebuild;
    PortList(rebuild)->setCurrentIndex(99);
    rebuild.accept();
    EXPECT_EQ(OperationContext::Instance().SelectedPort(), 129);
}
