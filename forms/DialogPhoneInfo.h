#pragma once

#include <QTime>
#include <QTimer>
#include <memory>
#include <optional>
#include <vector>

#include "forms/FormView.h"
#include "forms/OperationRunner.h"

namespace Ui {
class CDialogPhoneInfo;
}

namespace corvanetov {
class CSpreadSheet;

// The phone information view: finds the handset's port by itself while none
// is held (looking once a second), then holds that port until the technician
// chooses another, reads the handset's identity on a worker and shows it in
// a grid.
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
    // No port held, or the held port's device is not there.
    bool Searching() const { return m_heldPort == 0 || m_present != true; }
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
    void FollowListing();
    void FollowTechniciansChoice();
    void SearchAmong(const std::vector<uint8_t>& handsets);
    void Hold(uint8_t port);
    void ShowPresence(bool present);
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
    // Once a second from the first show: the search while no port is held,
    // then whether the held port's device is there.
    QTimer m_listingWatch;
    // Found or chosen: only the technician changes it (Port Setting).
    uint8_t m_heldPort = 0;
    // The selected port as the view last set or saw it: a change it did not
    // make is the technician's choice.
    uint8_t m_seenChoice = 0;
    std::optional<bool> m_present;
    // Handsets listed while none is held, as last said in the status line.
    size_t m_listedCount = 0;
    // The port of the read the grid and the phone line show.
    uint8_t m_readPort = 0;
    QString m_statusText;
    QTime m_lastRead;
    QString m_shownEsn;
    bool m_showsEarlierRead = false;
};

} // namespace corvanetov
