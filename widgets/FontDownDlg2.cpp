#include "widgets/FontDownDlg2.h"

#include <cstdlib>

#include "ui_FontDownDlg2.h"
#include "widgets/SmallDialogConstants.h"

CFontDownDlg2::CFontDownDlg2(QWidget* parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::CFontDownDlg2>())
    , m_startAddress(QString::fromLatin1(SmallDialogConstants::kDefaultStartAddress))
{
    m_ui->setupUi(this);
    // The field's limit also keeps a longer text from ever reaching OK.
    m_ui->editStartAddress->setMaxLength(SmallDialogConstants::kStartAddressMaxLength);
}

CFontDownDlg2::~CFontDownDlg2() = default;

void CFontDownDlg2::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    m_ui->editStartAddress->setText(m_startAddress);
    m_ui->editStartAddress->setFocus();
}

void CFontDownDlg2::accept()
{
    m_startAddress = m_ui->editStartAddress->text();
    QDialog::accept();
}

uint32_t CFontDownDlg2::ToStartAddress(const QString& text)
{
    const QByteArray hex = QByteArray(SmallDialogConstants::kStartAddressPrefix) + text.toLatin1();
    return static_cast<uint32_t>(std::strtoul(hex.constData(), nullptr, 16));
}
