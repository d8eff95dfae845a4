#include "forms/DialogBackup.h"

#include <QMessageBox>
#include <QResizeEvent>

#include "engine/OperationContext.h"
#include "forms/BackupConstants.h"
#include "forms/FormConstants.h"
#include "ui_DialogBackup.h"

namespace corvanetov {

namespace bc = BackupConstants;

CDialogBackup::CDialogBackup(QWidget* parent)
    : CFormView(parent)
    , m_ui(std::make_unique<Ui::CDialogBackup>())
    , m_runner(*this, OperationContext::kBackup, [](const OperationMessage&) {})
{
    m_ui->setupUi(this);
    m_runner.AddStartControl(m_ui->buttonStart);
    m_runner.AddIdleControl(m_ui->comboItem);
    m_runner.AddIdleControl(m_ui->comboMode);
    connect(m_ui->buttonStart, &CCommandButton::Click, this, &CDialogBackup::OnStartClick);
}

CDialogBackup::~CDialogBackup() = default;

CCommandButton& CDialogBackup::StartButton() const
{
    return *m_ui->buttonStart;
}

QComboBox& CDialogBackup::ItemList() const
{
    return *m_ui->comboItem;
}

QComboBox& CDialogBackup::ModeList() const
{
    return *m_ui->comboMode;
}

CTextProgressCtrl& CDialogBackup::Bar() const
{
    return *m_ui->progressTransfer;
}

CBusyAnimation& CDialogBackup::Animation() const
{
    return *m_ui->animationTransfer;
}

QWidget& CDialogBackup::WorkingControls() const
{
    return *m_ui->workingControls;
}

void CDialogBackup::OnInitialUpdate()
{
    ShowLogoForToolType(*m_ui->picture);
    StyleTitle(*m_ui->labelTitle);
    m_ui->buttonStart->SetWindowText(QString::fromLatin1(bc::kStartCaption));
    for (const char* item : bc::kItems)
        m_ui->comboItem->addItem(QString::fromLatin1(item));
    for (const char* mode : bc::kModes)
        m_ui->comboMode->addItem(QString::fromLatin1(mode));
    m_ui->comboItem->setCurrentIndex(0);
    m_ui->comboMode->setCurrentIndex(0);
    m_ui->animationTransfer->Stop();
    m_ui->animationTransfer->hide();
}

// The working controls stay just beyond the right edge, however wide the view.
void CDialogBackup::resizeEvent(QResizeEvent* event)
{
    CFormView::resizeEvent(event);
    m_ui->workingControls->move(event->size().width(), 0);
}

bool CDialogBackup::AskStop()
{
    return QMessageBox::question(this, windowTitle(), QString::fromLatin1(bc::kStopQuestion), QMessageBox::Yes | QMessageBox::No)
        == QMessageBox::Yes;
}

void CDialogBackup::OnStartClick()
{
    if (!m_runner.Running()) {
        // Nothing to do for this model: the runner only holds the state
        // while the running look shows. Without a thread nothing changes.
        if (m_runner.Start([] {}))
            ShowRunning();
        return;
    }
    if (m_runner.Stop())
        Finish();
}

void CDialogBackup::ShowBarReady()
{
    m_ui->progressTransfer->SetWindowText(QString::fromLatin1(FormConstants::kReady));
    m_ui->progressTransfer->SetPos(0);
    m_ui->progressTransfer->repaint();
}

void CDialogBackup::ShowRunning()
{
    ShowBarReady();
    m_ui->animationTransfer->show();
    m_ui->animationTransfer->Play();
    m_ui->buttonStart->SetWindowText(QString::fromLatin1(FormConstants::kStopCaption));
}

void CDialogBackup::Finish()
{
    SendEsnLine();
    ShowBarReady();
    m_ui->animationTransfer->Stop();
    m_ui->animationTransfer->hide();
    m_ui->buttonStart->SetWindowText(QString::fromLatin1(bc::kStartCaption));
}

} // namespace corvanetov
