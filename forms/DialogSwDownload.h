#pragma once

#include <memory>

#include "forms/FormView.h"

namespace Ui {
class CDialogSwDownload;
}

// The software download view: chooses software and font images and flashes
// them, or rebuilds a handset over its UART link.
class CDialogSwDownload : public CFormView {
    Q_OBJECT
public:
    explicit CDialogSwDownload(QWidget* parent = nullptr);
    ~CDialogSwDownload() override;

protected:
    void OnInitialUpdate() override;

private:
    std::unique_ptr<Ui::CDialogSwDownload> m_ui;
};
