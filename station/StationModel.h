#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

namespace corvanetov {

class StationJob;
struct StationRow;

// The station's table, one row per handset: what the terminal table and
// the station window both show.
class StationModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // Action holds no words: the window puts a row's Stop button there.
    enum Column { Port, Device, Esn, Step, Percent, Bytes, Throughput, TimeLeft, Result, Action, ColumnCount };
    // The percentage as a number (-1 before the first), for a progress bar.
    static constexpr int kPercentRole = Qt::UserRole;

    explicit StationModel(const std::vector<std::unique_ptr<StationJob>>& jobs, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    static QString Header(int column);
    // A cell's text, as both front ends show it; `devices` are the devices
    // of every row shown beside it.
    static QString Cell(const StationRow& row, int column, const QStringList& devices);
    QString Text(int row, int column) const;
    // The part of a device's by-id name that tells it from the others (the
    // maker, model and interface every handset shares are left out).
    static QString DeviceLabel(const QString& device, const QStringList& devices);

    // Adds the row that `add` puts at the end of the jobs.
    void AddRow(const std::function<void()>& add);
    void RowChanged(int row);
    void Reset();

private:
    const QStringList& Labels() const;

    const std::vector<std::unique_ptr<StationJob>>& m_jobs;
    mutable QStringList m_labels; // the Device cells, as many as the rows they were worked out for
};

} // namespace corvanetov
