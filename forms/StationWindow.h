#pragma once

#include <QDialog>
#include <memory>
#include <vector>

class QCheckBox;
class QLabel;
class QPushButton;
class QStandardItemModel;
class QTableView;

namespace corvanetov {

class DeviceWatcher;
class Station;
class StationJobChoice;
struct SerialDeviceEntry;

// The station window: the job chosen once, then served on every handset
// plugged in, one row each with its progress bar and its own Stop, and the
// summary. It drives the same station as `corvanetov-cli station`, so the
// two never differ.
class StationWindow : public QDialog {
    Q_OBJECT
public:
    explicit StationWindow(QWidget* parent = nullptr);
    ~StationWindow() override;

    // The command line each handset's job runs: beside the host, as
    // installed, else on the PATH.
    static QString CommandLineProgram();
    QString SummaryText() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Start();
    void StopAll();
    // The MSL code for a programming job when the tool type asks for one;
    // false when the user cancelled.
    bool AskCode(std::optional<QByteArray>& code);
    void AddRowControls(int first, int last);
    void UpdateRows(int first, int last);
    void ShowSummary();
    void ShowRunning(bool running);
    // Before Start: the handsets listed now, as the station's rows will name them.
    void ShowListed(const std::vector<SerialDeviceEntry>& handsets);
    void SizeColumns();

    StationJobChoice* m_choice;
    QCheckBox* m_once;
    QPushButton* m_start;
    QPushButton* m_stopAll;
    QTableView* m_table;
    QLabel* m_summary;
    QStandardItemModel* m_listed;
    std::unique_ptr<DeviceWatcher> m_listing;
    std::unique_ptr<Station> m_station;
};

} // namespace corvanetov
