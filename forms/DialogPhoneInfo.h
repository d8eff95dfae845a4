#pragma once

#include <QTimer>
#include <memory>

#include "engine/OperationWorker.h"
#include "forms/FormView.h"
#include "forms/OperationBridge.h"

namespace Ui {
class CDialogPhoneInfo;
}
class CSpreadSheet;

// The phone information view: finds the handset's port by itself (and keeps
// looking once a second while none is listed), reads the handset's identity
// on a worker and shows it in a grid.
class CDialogPhoneInfo : public CFormView {
    Q_OBJECT
public:
    explicit CDialogPhoneInfo(QWidget* parent = nullptr);
    ~CDialogPhoneInfo() override;

    bool OnCommand(int command) override;

    // For tests and the host: the view's parts.
    CSpreadSheet& Grid() const;
    QString ButtonCaption() const;
    bool ButtonEnabled() const;
    bool Busy() const;
    bool Searching() const { return m_portSearch.isActive(); }
    bool WorkerRunning() const { return m_worker.Running(); }

public slots:
    void OnButtonClick();

protected:
    void OnInitialUpdate() override;
    void OnLaterShow() override;

    // The questions and boxes of this view; tests answer them without a box.
    virtual bool AskStop();
    virtual void ShowMessage(const QString& text);
    virtual void RunPortSettingDialog();
    virtual void RunPrintDialog();

private:
    void LayOutGrid();
    void SearchPort();
    void OnPortSearchTick();
    void StartPortSearch();
    void StartRead();
    void StopWorker();
    void OnOperationMessage(const OperationMessage& message);
    void FillGrid();
    static void SendPortLine(uint8_t port);

    std::unique_ptr<Ui::CDialogPhoneInfo> m_ui;
    OperationBridge m_bridge;
    OperationWorker m_worker;
    QTimer m_portSearch;
    QString m_statusText;
};
