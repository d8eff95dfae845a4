#include "widgets/DllAbout.h"

#include "ui_DllAbout.h"
#include "widgets/SmallDialogConstants.h"

namespace corvanetov {

CDllAbout::CDllAbout(const QString& infoText, QWidget* parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::CDllAbout>())
{
    m_ui->setupUi(this);
    m_ui->labelInfo->SetFontSize(SmallDialogConstants::kAboutFontSize)
        .SetFontBold(true)
        .SetTextColor(SmallDialogConstants::kAboutTextColor)
        .SetFontItalic(true)
        .SetText(infoText);
}

CDllAbout::~CDllAbout() = default;

QString CDllAbout::InfoText() const
{
    return m_ui->labelInfo->text();
}

} // namespace corvanetov
