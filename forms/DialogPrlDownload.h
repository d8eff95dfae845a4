#pragma once

#include <memory>

#include "forms/RoamingDownloadView.h"

namespace Ui {
class CDialogPrlDownload;
}

namespace corvanetov {

// Writes a preferred roaming list (PRL) into NAM1, NAM2 or both.
class CDialogPrlDownload : public CRoamingDownloadView {
    Q_OBJECT
public:
    explicit CDialogPrlDownload(QWidget* parent = nullptr);
    ~CDialogPrlDownload() override;

private:
    std::unique_ptr<Ui::CDialogPrlDownload> m_ui;
};

} // namespace corvanetov
