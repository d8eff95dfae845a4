#include "forms/DialogPhoneInfo.h"

#include "ui_DialogPhoneInfo.h"

CDialogPhoneInfo::CDialogPhoneInfo(QWidget* parent)
    : CFormView(parent)
    , m_ui(std::make_unique<Ui::CDialogPhoneInfo>())
{
    m_ui->setupUi(this);
}

CDialogPhoneInfo::~CDialogPhoneInfo() = default;

void CDialogPhoneInfo::OnInitialUpdate()
{
    ShowLogoForToolType(*m_ui->picture);
    StyleTitle(*m_ui->labelTitle);
}
