#pragma once

#include <QElapsedTimer>
#include <QFileDialog>
#include <QMessageBox>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "engine/NamTransferRequest.h"
#include "forms/FormView.h"
#include "forms/OperationRunner.h"
#include "nv/NVList.h"
#include "nv/NvDoc.h"
#include "nv/NvConstants.h"
#include "nv/SettingsCatalogue.h"

namespace Ui {
class CDialogSettings;
}
class QTreeWidget;
class QTreeWidgetItem;

namespace corvanetov {
class CSpreadSheet;
class CTextProgressCtrl;

// The settings view: the handset's lock code, UIM lock code and network-lock
// SIDs in a grid, read from and written to the handset on a worker, loaded
// from and saved to settings files, and printed.
class CDialogSettings : public CFormView {
    Q_OBJECT
public:
    explicit CDialogSettings(QWidget* parent = nullptr);
    ~CDialogSettings() override;

    bool OnCommand(int command) override;

    // For tests and the host: the view's parts.
    CSpreadSheet& Grid() const;
    CTextProgressCtrl& ProgressBar() const;
    QTreeWidgetItem* NamEntry() const;
    QString GroupLabel() const;
    // The buttons and the grid, enabled and disabled together.
    bool ControlsEnabled() const;
    bool DataPresent() const { return m_dataPresent; }
    bool WorkerRunning() const { return m_runner.Running(); }
    uint32_t RequestedGroup(int group) const { return m_requested.at(group); }
    uint32_t LoadedGroup(int group) const { return m_loaded.at(group); }

public slots:
    void OnReadFromPhone();
    void OnWriteToPhone();
    void OnOpenMmcFile();
    void OnSaveMmcFile();

protected:
    void OnInitialUpdate() override;

    // The boxes and dialogs of this view; tests answer them without a box.
    virtual void ShowMessage(const QString& text, QMessageBox::Icon icon, const QString& detail = {});
    // A question whose default answer is No: true on Yes.
    virtual bool Ask(const QString& text, const QString& detail);
    // The file chosen, or empty on Cancel.
    virtual QString AskOpenPath(const QString& folder);
    virtual QString AskSavePath(const QString& folder);
    virtual void RunPrintDialog();

private:
    using GroupFlags = std::array<uint32_t, nv::kGroupCount>;

    void LayOutGrid();
    void ShowGroup();
    void OnTreeSelectionChanged(QTreeWidgetItem* entry);
    void TakeRequestedGroups();
    void ShowReady();
    bool StartTransfer(NVList& list, void (*worker)(NamTransferRequest),
                       OperationRunner::Then then = OperationRunner::Then::Ends);
    // esn: the handset the job's read found, which the transfer must find
    // too (empty: any).
    std::function<void()> TransferBody(NVList& list, void (*worker)(NamTransferRequest), const std::string& esn = {});
    // The read before a write has ended: the snapshot is taken, the document
    // is again what the write sends, and the write goes on.
    void OnReadToKeepEnded(const OperationMessage& end);
    void OnOperationMessage(const OperationMessage& message);
    void OnProgress(int32_t percent);
    void OnOperationEnd();
    void FillGrid();
    void FillRow(int row, const QString& value);
    void StyleReadOnly();
    SettingsValues GridValues() const;
    QString ValueText(int row) const;
    // Marks the refused cells and clears the others' marks; true when none is.
    bool MarkRefusals(const std::vector<SettingsCatalogue::Refusal>& refusals);
    void MarkRow(int row, bool refused);
    void OnCellChanged(int column, int row);
    bool ConfirmWrite(const SettingsValues& values);
    bool HasUnsavedEdits() const;
    bool ReadSettingsFile(const QString& path, NvDoc& doc);
    bool WriteSettingsFile(const QString& path, const NvDoc& doc);
    QString RunFileDialog(QFileDialog::AcceptMode mode, const QString& folder, const char* filter);
    static QString SettingsFolder();

    std::unique_ptr<Ui::CDialogSettings> m_ui;
    // The worker steps these until it ends: they go after the runner, which
    // waits for it.
    NVList m_readList;
    NVList m_writeList;
    uint8_t m_mode = 0;
    GroupFlags m_requested{};
    GroupFlags m_loaded{};
    bool m_dataPresent = false;
    // The values last read from the handset or opened from a file: what a
    // write changes is told against them.
    SettingsValues m_source;
    // The values the handset or a file holds as the grid shows them: the
    // last read, open, save or write. Edits beyond them are unsaved.
    SettingsValues m_kept;
    QElapsedTimer m_started;
    // While a write reads what it replaces: the document as the write is to
    // send it.
    bool m_readingToKeep = false;
    NvDoc::Image m_toWrite{};
    OperationRunner m_runner;
};

} // namespace corvanetov
