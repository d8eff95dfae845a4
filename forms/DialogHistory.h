#pragma once

#include <QDialog>
#include <QList>

#include "history/HistoryFilter.h"
#include "history/ServiceRecord.h"

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QProcess;
class QPushButton;
class QTableWidget;

namespace corvanetov {

// "Service history": the records of the store in use, filtered by ESN,
// operation, result and dates, newest first; the selected one in full;
// Export CSV of what the filters take; Undo of a record with a settings
// snapshot, after a confirmation that lists what the handset gets back.
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
    HistoryFilter Filter() const;
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
    QProcess* m_undoRun = nullptr;
    QList<ServiceRecord> m_records;
};

} // namespace corvanetov
