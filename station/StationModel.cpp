#include "station/StationModel.h"

#include <QFileInfo>

#include "station/StationJob.h"

namespace corvanetov {

namespace {
constexpr const char* kHeaders[StationModel::ColumnCount] = {"COM",   "Device",     "ESN",       "Step",   "%",
                                                             "Bytes", "Throughput", "Time left", "Result", ""};
} // namespace

StationModel::StationModel(const std::vector<std::unique_ptr<StationJob>>& jobs, QObject* parent)
    : QAbstractTableModel(parent), m_jobs(jobs)
{
}

int StationModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_jobs.size());
}

int StationModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString StationModel::Cell(const StationRow& row, int column)
{
    switch (column) {
    case Port: return row.port;
    case Device: return QFileInfo(row.device).fileName();
    case Esn: return row.esn;
    case Step: return row.step;
    case Percent: return row.percent < 0 ? QString() : QString::number(row.percent);
    case Bytes: return row.Amounts();
    case Throughput: return row.Throughput();
    case TimeLeft: return row.TimeLeft();
    case Result: return row.StateText();
    default: return {};
    }
}

QVariant StationModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const StationRow& row = m_jobs[static_cast<size_t>(index.row())]->Row();
    if (role == kPercentRole)
        return row.percent;
    if (role == Qt::DisplayRole)
        return Cell(row, index.column());
    return {};
}

QVariant StationModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    return Header(section);
}

QString StationModel::Header(int column)
{
    return QString::fromLatin1(kHeaders[column]);
}

void StationModel::AddRow(const std::function<void()>& add)
{
    const int row = rowCount();
    beginInsertRows({}, row, row);
    add();
    endInsertRows();
}

void StationModel::RowChanged(int row)
{
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

void StationModel::Reset()
{
    beginResetModel();
    endResetModel();
}

} // namespace corvanetov
