#include "forms/DialogPrlDownload.h"

#include "ui_DialogPrlDownload.h"

namespace corvanetov {

CDialogPrlDownload::CDialogPrlDownload(QWidget* parent)
    : CRoamingDownloadView(kPrl, parent)
    , m_ui(std::make_unique<Ui::CDialogPrlDownload>())
{
    m_ui->setupUi(this);
    Attach(ControlsOf(*m_ui));
}

CDialogPrlDownload::~CDialogPrlDownload() = default;

} // namespace corvanetov
