#include "forms/DialogSettings.h"

#include "ui_DialogSettings.h"

CDialogSettings::CDialogSettings(QWidget* parent)
    : CFormView(parent)
    , m_ui(std::make_unique<Ui::CDialogSettings>())
{
    m_ui->setupUi(this);
}

CDialogSettings::~CDialogSettings() = default;

void CDialogSettings::OnInitialUpdate()
{
    ShowLogoForToolType(*m_ui->picture);
    StyleTitle(*m_ui->labelTitle);
}
