#pragma once

#include <memory>

#include "forms/RoamingDownloadView.h"

namespace Ui {
class CDialogEriDownload;
}

namespace corvanetov {

// Writes an enhanced roaming indicator (ERI) file into NAM1, NAM2 or both.
class CDialogEriDownload : public CRoamingDownloadView {
    Q_OBJECT
public:
    explicit CDialogEriDownload(QWidget* parent = nullptr);
    ~CDialogEriDownload() override;

private:
    std::unique_ptr<Ui::CDialogEriDownload> m_ui;
};

} // namespace corvanetov
