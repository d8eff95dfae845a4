#include "forms/DialogEriDownload.h"

#include "ui_DialogEriDownload.h"

namespace corvanetov {

CDialogEriDownload::CDialogEriDownload(QWidget* parent)
    : CRoamingDownloadView(kEri, parent)
    , m_ui(std::make_unique<Ui::CDialogEriDownload>())
{
    m_ui->setupUi(this);
    Attach(ControlsOf(*m_ui));
}

CDialogEriDownload::~CDialogEriDownload() = default;

} // namespace corvanetov
