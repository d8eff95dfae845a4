#include "widgets/DllAbout.h"

#include "ui_DllAbout.h"
#include "widgets/SmallDialogConstants.h"

CDllAbout::CDllAbout(StringLookup loadString, QWidget* parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::CDllAbout>())
{
    m_ui->setupUi(this);
    m_ui->labelInfo->SetFontSize(SmallDialogConstants::kAboutFontSize)
        .SetFontBold(true)
        .SetTextColor(SmallDialogConstants::kAboutTextColor)
        .SetFontItalic(true)
        .SetText(AboutText(loadString));
}

CDllAbout::~CDllAbout() = default;

QString CDllAbout::AboutText(const StringLookup& loadString)
{
    QString text;
    for (const auto& line : SmallDialogConstants::kAboutLines)
        text += QString::fromLatin1(line.label) + loadString(line.stringId) + QLatin1Char('\n');
    return text;
}

QString CDllAbout::InfoText() const
{
    return m_ui->labelInfo->text();
}
