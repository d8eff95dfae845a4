#pragma once

#include <memory>

#include "forms/FormView.h"

namespace Ui {
class CDialogSettings;
}

// The settings view: the handset's security settings by group, read from and
// written to the handset or a settings file, and printed.
class CDialogSettings : public CFormView {
    Q_OBJECT
public:
    explicit CDialogSettings(QWidget* parent = nullptr);
    ~CDialogSettings() override;

protected:
    void OnInitialUpdate() override;

private:
    std::unique_ptr<Ui::CDialogSettings> m_ui;
};
