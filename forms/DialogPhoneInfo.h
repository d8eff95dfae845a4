#pragma once

#include <QTime>
#include <QTimer>
#include <memory>

#include "forms/FormView.h"
#include "forms/OperationRunner.h"

namespace Ui {
class CDialogPhoneInfo;
}

namespace corvanetov {
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
    bool WorkerRunning() const { return m_runner.Running(); }
    // The time of the last successful read (null before one), and whether
    // the grid and the phone line show it as possibly another handset's.
    QTime LastReadTime() const { return m_lastRead; }
    bool ShowsEarlierRead() const { return m_showsEarlierRead; }
    QString ReadTimeText() const;

public slots:
    void OnButtonClick();

protected:
    void OnInitialUpdate() override;
    void OnFirstShown() override;

    // The boxes of this view; tests answer them without a box.
    // An operation's failure, with the reason where one is known.
    virtual void ShowMessage(const QString& text, const QString& detail);
    virtual void RunPortSettingDialog();
    virtual void RunPrintDialog();

private:
    void LayOutGrid();
    void SearchPort();
    void OnPortSearchTick();
    void StartPortSearch();
    void OnHandsetFound(uint8_t port);
    void WatchHandset();
    void OnHandsetGone();
    void StartRead();
    void ShowIdle();
    void OnOperationMessage(const OperationMessage& message);
    void OnReadFinished(const QString& error);
    void FillGrid();
    void ShowReadAsCurrent();
    void ShowReadAsEarlier();
    QString LastReadClock() const;
    void SetValueColor(uint32_t colorRef);
    static void SendPortLine(uint8_t port);

    std::unique_ptr<Ui::CDialogPhoneInfo> m_ui;
    OperationRunner m_runner;
    QTimer m_portSearch;
    // While the listed handset's port is in use: notices when it goes away.
    QTimer m_presenceWatch;
    uint8_t m_listedPort = 0;
    QString m_statusText;
    QTime m_lastRead;
    QString m_shownEsn;
    bool m_showsEarlierRead = false;
};

} // namespace corvanetov
