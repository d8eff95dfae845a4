#pragma once

#include <memory>

#include "forms/FormView.h"

namespace Ui {
class CDialogPhoneInfo;
}

// The phone information view: finds the handset's port, reads its identity
// and shows it in a grid.
class CDialogPhoneInfo : public CFormView {
    Q_OBJECT
public:
    explicit CDialogPhoneInfo(QWidget* parent = nullptr);
    ~CDialogPhoneInfo() override;

protected:
    void OnInitialUpdate() override;

private:
    std::unique_ptr<Ui::CDialogPhoneInfo> m_ui;
};
