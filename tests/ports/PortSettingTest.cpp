#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <string>
#include <utility>
#include <vector>

#include "FreshStore.h"
#include "PtyPair.h"
#include "comm/BaseComm.h"
#include "plugin/HostNotifier.h"
#include "plugin/PortSetting.h"
#include "plugin/PortSetting2.h"
#include "plugin/PortTable.h"

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
    for (auto [selected, shown] : {std::pair{0, "COM1"}, {7, "COM7"}, {99, "COM99"}, {150, ""}}) {
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

TEST_F(PortSettingTest, OkIsRefusedWhileAnOperationRuns)
{
    OperationContext::Instance().SetOperationState(OperationContext::kSettings);
    RecordingPortSetting busy;
    EXPECT_FALSE(OkButton(busy)->isEnabled());
    OperationContext::Instance().SetOperationState(OperationContext::kIdle);
    RecordingPortSetting idle;
    EXPECT_TRUE(OkButton(idle)->isEnabled());
}
