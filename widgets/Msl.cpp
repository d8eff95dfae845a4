#include "widgets/Msl.h"

#include "ui_Msl.h"
#include "widgets/AcceptableInput.h"

namespace corvanetov {

CMsl::CMsl(int codeLength, QWidget* parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::CMsl>())
    , m_codeLength(codeLength)
{
    m_ui->setupUi(this);
    // No system menu on this template: the code is answered with OK or Cancel.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    m_ui->editMslCode->setMaxLength(m_codeLength);
    AcceptableInput::Restrict(*m_ui->editMslCode,
                              QStringLiteral("[0-9]{%1}").arg(m_codeLength), *m_ui->buttons);
}

CMsl::~CMsl() = default;

void CMsl::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    m_ui->editMslCode->clear();
    m_ui->editMslCode->setFocus();
}

void CMsl::accept()
{
    const QString text = m_ui->editMslCode->text();
    if (text.size() != m_codeLength)
        return;
    m_code = text;
    QDialog::accept();
}

} // namespace corvanetov
