#include "station/StationModel.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>

#include "station/StationJob.h"

namespace corvanetov {

namespace {
constexpr const char* kHeaders[StationModel::ColumnCount] = {"COM",   "Device",     "ESN",       "Step",   "%",
                                                             "Bytes", "Throughput", "Time left", "Result", ""};
// The bus in front of a by-id name and the interface behind it.
const QRegularExpression kUdevWrapping(QStringLiteral("^[a-z]+-|-if[0-9]+.*$"));

bool Separator(QChar c)
{
    return c == QLatin1Char('_') || c == QLatin1Char('-');
}

qsizetype CommonPrefix(const QString& one, const QString& other)
{
    const auto end = std::mismatch(one.begin(), one.end(), other.begin(), other.end());
    return end.first - one.begin();
}

qsizetype CommonSuffix(const QString& one, const QString& other)
{
    const auto end = std::mismatch(one.rbegin(), one.rend(), other.rbegin(), other.rend());
    return end.first - one.rbegin();
}

QString ShortName(const QString& device)
{
    return QFileInfo(device).fileName().remove(kUdevWrapping);
}
// What all names share is cut at a separator, so that "_10" and "_11" show
// as "10" and "11", not "0" and "1". The names are short names already.
QString LabelAmong(const QString& name, const QStringList& names)
{
    qsizetype prefix = name.size();
    qsizetype suffix = name.size();
    bool alone = true; // no other name to tell it from
    for (const QString& other : names) {
        alone = alone && other == name;
        prefix = std::min(prefix, CommonPrefix(name, other));
        suffix = std::min(suffix, CommonSuffix(name, other));
    }
    if (alone)
        return name;
    while (prefix > 0 && !Separator(name[prefix - 1]))
        --prefix;
    suffix = std::min(suffix, name.size() - prefix);
    while (suffix > 0 && !Separator(name[name.size() - suffix]))
        --suffix;
    const QString label = name.mid(prefix, name.size() - prefix - suffix);
    return label.isEmpty() ? name : label;
}

QStringList ShortNames(const QStringList& devices)
{
    QStringList names;
    for (const QString& device : devices)
        names << ShortName(device);
    return names;
}
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

QString StationModel::DeviceLabel(const QString& device, const QStringList& devices)
{
    return LabelAmong(ShortName(device), ShortNames(devices));
}

// A row's Device cell depends on every row's device, and a table is drawn
// several times a second: the labels are worked out once per added row,
// not once per cell drawn (for 64 rows that tripled the station's CPU).
const QStringList& StationModel::Labels() const
{
    if (m_labels.size() == static_cast<qsizetype>(m_jobs.size()))
        return m_labels;
    QStringList devices;
    for (const auto& job : m_jobs)
        devices << job->Row().device;
    const QStringList names = ShortNames(devices);
    m_labels.clear();
    for (const QString& name : names)
        m_labels << LabelAmong(name, names);
    return m_labels;
}

QString StationModel::Text(int row, int column) const
{
    if (column == Device)
        return Labels().at(row);
    return Cell(m_jobs.at(static_cast<size_t>(row))->Row(), column, {});
}

QString StationModel::Cell(const StationRow& row, int column, const QStringList& devices)
{
    switch (column) {
    case Port: return row.port;
    case Device: return DeviceLabel(row.device, devices);
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
    if (role == kPercentRole)
        return m_jobs[static_cast<size_t>(index.row())]->Row().percent;
    // The tip holds what a narrow column cuts off.
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return Text(index.row(), index.column());
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
    // A new device may change what tells the others apart.
    if (row > 0)
        emit dataChanged(index(0, Device), index(row - 1, Device));
}

void StationModel::RowChanged(int row)
{
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

void StationModel::Reset()
{
    m_labels.clear();
    beginResetModel();
    endResetModel();
}

} // namespace corvanetov
