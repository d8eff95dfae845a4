#include "forms/PortSetting2.h"

#include "engine/OperationContext.h"
#include "forms/PortChoice.h"
#include "ui_PortSetting2.h"

namespace corvanetov {

PortSetting2::PortSetting2(QWidget* parent) : QDialog(parent), m_ui(std::make_unique<Ui::PortSetting2>())
{
    m_ui->setupUi(this);
    // The baud list is kept but never shown: every connection runs at 115200.
    m_ui->labelBaud->hide();
    m_ui->comboBaud->hide();
    PortChoice::Fill(m_ui->comboPort, m_ui->comboBaud);
}

PortSetting2::~PortSetting2() = default;

void PortSetting2::accept()
{
    uint8_t port = PortChoice::Chosen(m_ui->comboPort);
    OperationContext::Instance().SetSelectedPort(port);
    PortChoice::AnnouncePort(port);
    QDialog::accept();
}

} // namespace corvanetov
