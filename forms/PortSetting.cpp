#include "forms/PortSetting.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>

#include "comm/BaseComm.h"
#include "comm/OpenFailureReason.h"
#include "engine/OperationContext.h"
#include "forms/PortChoice.h"
#include "forms/PortSettingConstants.h"
#include "platform/Pacing.h"
#include "ports/UserSettings.h"
#include "ui_PortSetting.h"

namespace corvanetov {

PortSetting::PortSetting(QWidget* parent) : QDialog(parent), m_ui(std::make_unique<Ui::PortSetting>())
{
    m_ui->setupUi(this);
    // The baud list is kept but never shown: every connection runs at 115200.
    m_ui->labelBaud->hide();
    m_ui->comboBaud->hide();
    PortChoice::Fill(m_ui->comboPort, m_ui->comboBaud);
    FollowChoice();
    connect(m_ui->comboPort, &QComboBox::currentIndexChanged, this, &PortSetting::FollowChoice);
    connect(m_ui->buttonForget, &QPushButton::clicked, this, &PortSetting::ForgetChoice);
    // Operations end while the dialog is open (and none can start under it):
    // OK follows them.
    FollowOperationState();
    connect(&m_stateWatch, &OperationStateWatch::Changed, this, &PortSetting::FollowOperationState);
}

// OK replaces the channel; under a running operation that would pull the
// port from beneath its worker.
void PortSetting::FollowOperationState()
{
    const bool busy = OperationContext::Instance().OperationState() != OperationContext::kIdle;
    QPushButton* ok = m_ui->buttonBox->button(QDialogButtonBox::Ok);
    ok->setEnabled(!busy);
    ok->setToolTip(busy ? QString::fromLatin1(portsetting::kOkWaitsToolTip) : QString());
}

void PortSetting::FollowChoice()
{
    m_ui->buttonForget->setEnabled(PortChoice::ChosenHasTarget(m_ui->comboPort));
}

void PortSetting::ForgetChoice()
{
    if (!PortChoice::ForgetChosen(m_ui->comboPort))
        ShowMessage(portsetting::kCannotForget, UserSettings::FileName());
    FollowChoice();
    m_ui->comboPort->setFocus();
}

PortSetting::~PortSetting() = default;

void PortSetting::accept()
{
    uint8_t port = PortChoice::Chosen(m_ui->comboPort);
    OperationContext::Instance().SetSelectedPort(port);
    if (!OpenChannel(port))
        return;
    PortChoice::AnnouncePort(port);
    QDialog::accept();
}

bool PortSetting::OpenChannel(uint8_t port)
{
    BaseComm& channel = OperationContext::Instance().ReplaceChannel();
    channel.CreateResponseEvent(comm::kResponseEventIndex);
    channel.Configure(port, comm::kDiagBaud, comm::kByteSize, comm::kOneStopBit, comm::kNoParity);
    Pacing::Instance().Sleep(portsetting::kOpenPauseMs);
    if (!channel.CreateIoEvents()) {
        ShowMessage(portsetting::kCannotCreateComInfo, {});
        return false;
    }
    Pacing::Instance().Sleep(portsetting::kOpenPauseMs);
    if (!channel.Open()) {
        ShowMessage(portsetting::kCannotOpenComPort, QString::fromStdString(OpenFailureReason::Text(channel)));
        return false;
    }
    return true;
}

void PortSetting::ShowMessage(const QString& text, const QString& detail)
{
    QMessageBox box(QMessageBox::Warning, QCoreApplication::applicationName(), text, QMessageBox::Ok, this);
    box.setInformativeText(detail);
    box.exec();
}

} // namespace corvanetov
