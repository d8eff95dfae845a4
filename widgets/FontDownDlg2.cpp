#include "widgets/FontDownDlg2.h"

#include <cstdlib>

#include "ui_FontDownDlg2.h"
#include "widgets/AcceptableInput.h"
#include "widgets/SmallDialogConstants.h"

namespace corvanetov {

CFontDownDlg2::CFontDownDlg2(uint32_t defaultAddress, QWidget* parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::CFontDownDlg2>())
    , m_startAddress(QString::number(defaultAddress, 16).toUpper())
{
    m_ui->setupUi(this);
    // The field's limit also keeps a longer text from ever reaching OK. Only
    // hexadecimal digits: the caller reads the leading ones and ignores the
    // rest, so a mistyped letter would flash at a wrong address.
    m_ui->editStartAddress->setMaxLength(SmallDialogConstants::kStartAddressMaxLength);
    AcceptableInput::Restrict(*m_ui->editStartAddress,
                              QStringLiteral("[0-9A-Fa-f]{1,%1}").arg(SmallDialogConstants::kStartAddressMaxLength),
                              *m_ui->buttons);
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
    if (!m_ui->editStartAddress->hasAcceptableInput())
        return;
    m_startAddress = m_ui->editStartAddress->text();
    QDialog::accept();
}

uint32_t CFontDownDlg2::ToStartAddress(const QString& text)
{
    const QByteArray hex = QByteArray(SmallDialogConstants::kStartAddressPrefix) + text.toLatin1();
    return static_cast<uint32_t>(std::strtoul(hex.constData(), nullptr, 16));
}

} // namespace corvanetov
