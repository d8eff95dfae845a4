#pragma once

#include <QDialog>
#include <QList>
#include <optional>

#include "history/HistoryFilter.h"
#include "history/ServiceRecord.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProcess;
class QPushButton;
class QTableWidget;

namespace corvanetov {

// "Service history": the records of the store in use, filtered by ESN,
// operation, result and dates, newest first, following new ones while open
// (F5 reads them again at once); the selected one in full; Export CSV of
// what the filters take; Undo of a record with a settings snapshot, after a
// confirmation that lists what the handset gets back, its steps and end on
// the window's status line.
class CDialogHistory : public QDialog {
    Q_OBJECT
public:
    static constexpr int kShownRecords = 1000;

    explicit CDialogHistory(QWidget* parent = nullptr);

    // The records shown, for tests.
    const QList<ServiceRecord>& Records() const { return m_records; }
    void Reload();
    // Writes the filtered records to path; false with a message box.
    bool ExportTo(const QString& path);

protected:
    // The confirmation and the message boxes; tests answer them.
    virtual bool Confirm(const QString& text);
    virtual void Tell(const QString& text);

private:
    void BuildUi();
    // The filters, or none when a date cannot be read.
    std::optional<HistoryFilter> Filter() const;
    // The newest records the filters take, or none after saying why.
    std::optional<QList<ServiceRecord>> Read(int limit);
    void Fill();
    // Fills the list again when records came since, keeping the selection.
    void Follow();
    QProcess* NewUndoRun();
    void ShowSelected();
    void OnExport();
    void OnUndo();
    const ServiceRecord* Selected() const;

    QLineEdit* m_esn = nullptr;
    QComboBox* m_operation = nullptr;
    QComboBox* m_result = nullptr;
    QLineEdit* m_since = nullptr;
    QLineEdit* m_until = nullptr;
    QTableWidget* m_table = nullptr;
    QPlainTextEdit* m_detail = nullptr;
    QPushButton* m_undo = nullptr;
    QLabel* m_status = nullptr;
    QProcess* m_undoRun = nullptr;
    QString m_undoLast;
    QList<ServiceRecord> m_records;
};

} // namespace corvanetov
