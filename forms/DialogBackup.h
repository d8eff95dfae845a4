#pragma once

#include <memory>

#include "forms/FormView.h"
#include "forms/OperationRunner.h"

namespace Ui {
class CDialogBackup;
}
class QComboBox;

namespace corvanetov {
class CBusyAnimation;
class CCommandButton;
class CTextProgressCtrl;

// Backup and restore of the handset's contents: not supported for this
// model. The view shows its notice; its working controls lie beyond its
// right edge, and its start button only switches it into a running look and
// back, holding the operation state meanwhile.
class CDialogBackup : public CFormView {
    Q_OBJECT
public:
    explicit CDialogBackup(QWidget* parent = nullptr);
    ~CDialogBackup() override;

    // Its own stop question; tests answer it without a box.
    bool AskStop() override;

    // For tests and the host: the view's parts.
    CCommandButton& StartButton() const;
    QComboBox& ItemList() const;
    QComboBox& ModeList() const;
    CTextProgressCtrl& Bar() const;
    CBusyAnimation& Animation() const;
    QWidget& WorkingControls() const;
    bool RunningLook() const { return m_runner.Running(); }

public slots:
    void OnStartClick();

protected:
    void OnInitialUpdate() override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void ShowBarReady();
    void ShowRunning();
    void Finish();

    std::unique_ptr<Ui::CDialogBackup> m_ui;
    OperationRunner m_runner;
};

} // namespace corvanetov
