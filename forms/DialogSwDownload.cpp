#include "forms/DialogSwDownload.h"

#include "ui_DialogSwDownload.h"

CDialogSwDownload::CDialogSwDownload(QWidget* parent)
    : CFormView(parent)
    , m_ui(std::make_unique<Ui::CDialogSwDownload>())
{
    m_ui->setupUi(this);
}

CDialogSwDownload::~CDialogSwDownload() = default;

void CDialogSwDownload::OnInitialUpdate()
{
    ShowLogoForToolType(*m_ui->picture);
    StyleTitle(*m_ui->labelTitle);
}
