#include "station/Station.h"

#include <QTimer>
#include <QUuid>
#include <algorithm>

#include "ports/PortTable.h"
#include "station/StationConstants.h"

namespace corvanetov {

Station::Station(StationRequest request, StationOptions options, QObject* parent)
    : QObject(parent), m_request(std::move(request)), m_options(std::move(options)), m_model(m_jobs)
{
    m_request.environment.insert(QLatin1String(station::kRunIdVariable), QUuid::createUuid().toString(QUuid::WithoutBraces));
    connect(&m_watcher, &DeviceWatcher::Listed, this, &Station::OnListed);
}

Station::~Station() = default;

void Station::Start()
{
    m_watcher.Start();
    // Nothing listed at the start of a run of the handsets listed now.
    QTimer::singleShot(0, this, &Station::CheckEnded);
}

void Station::StopAll()
{
    m_stopping = true;
    for (const auto& job : m_jobs)
        job->Stop();
    CheckEnded();
}

void Station::StopRow(int row)
{
    if (row >= 0 && row < Rows())
        m_jobs[static_cast<size_t>(row)]->Stop();
}

bool Station::AllEnded() const
{
    return std::all_of(m_jobs.begin(), m_jobs.end(), [](const auto& job) { return job->Row().Finished(); });
}

Station::Totals Station::Summary() const
{
    Totals totals;
    std::optional<TransferRate::Clock::time_point> first, last;
    for (const auto& job : m_jobs) {
        const StationRow& row = job->Row();
        totals.completed += row.state == StationRow::State::Completed;
        totals.failed += row.state == StationRow::State::Failed;
        totals.stopped += row.state == StationRow::State::Stopped;
        if (row.started == TransferRate::Clock::time_point{})
            continue;
        first = first ? std::min(*first, row.started) : row.started;
        if (row.Finished())
            last = last ? std::max(*last, row.ended) : row.ended;
    }
    if (first && last)
        totals.seconds = std::chrono::duration<double>(*last - *first).count();
    return totals;
}

void Station::OnListed(const std::vector<SerialDeviceEntry>& handsets)
{
    if (m_stopping)
        return;
    FollowSlots(handsets);
    // The waiting jobs of handsets gone are stopped only once the map is
    // walked: a stopped job ends at once, and its end changes the map.
    std::vector<StationJob*> neverStarted;
    for (auto it = m_devices.begin(); it != m_devices.end();) {
        const bool listed = std::any_of(handsets.begin(), handsets.end(),
                                        [&](const SerialDeviceEntry& entry) { return entry.slot == it->first; });
        if (listed || !it->second.present) {
            ++it;
            continue;
        }
        it = Left(it, neverStarted);
    }
    for (StationJob* job : neverStarted)
        job->Stop();
    for (const SerialDeviceEntry& entry : handsets) {
        if (Wanted(entry))
            Arrived(entry);
    }
    m_firstListing = false;
}

// The links of a device come one by one: a handset first listed before its
// slot keeps its row under the slot.
void Station::FollowSlots(const std::vector<SerialDeviceEntry>& handsets)
{
    for (const SerialDeviceEntry& entry : handsets) {
        if (entry.slot == entry.devicePath || m_devices.count(entry.slot))
            continue;
        if (auto listed = m_devices.extract(entry.devicePath)) {
            listed.key() = entry.slot;
            m_devices.insert(std::move(listed));
        }
    }
}

bool Station::Wanted(const SerialDeviceEntry& entry) const
{
    if (m_options.ports.isEmpty())
        return true;
    return std::any_of(m_options.ports.begin(), m_options.ports.end(), [&](const QString& port) {
        return port == entry.devicePath || port == entry.slot || port.compare(entry.portName, Qt::CaseInsensitive) == 0 ||
               QLatin1String("COM") + port == entry.portName;
    });
}

void Station::Arrived(const SerialDeviceEntry& entry)
{
    if (auto known = m_devices.find(entry.slot); known != m_devices.end()) {
        known->second.present = true;
        return;
    }
    if (m_options.once && !m_firstListing)
        return;
    // Without a slot from the system, a new name may be a restarting
    // handset's: the one whose job switched it into download mode.
    StationJob* restarting = entry.slot == entry.devicePath ? RestartingJob() : nullptr;
    if (restarting) {
        m_devices[entry.slot] = {restarting, true};
        return;
    }
    AddJob(entry);
}

// A running job keeps its handset while it is away; a waiting one never
// started and never will; a served handset that leaves frees its port for
// the next one.
Station::Devices::iterator Station::Left(Devices::iterator device, std::vector<StationJob*>& neverStarted)
{
    device->second.present = false;
    StationJob* job = device->second.job;
    if (job->Row().state == StationRow::State::Running)
        return std::next(device);
    if (job->Row().state == StationRow::State::Waiting)
        neverStarted.push_back(job);
    return m_devices.erase(device);
}

StationJob* Station::RestartingJob() const
{
    for (const auto& [device, attendance] : m_devices) {
        const StationJob* job = attendance.job;
        if (attendance.present || !job || job->Row().state != StationRow::State::Running || !job->Row().downloadModeReached)
            continue;
        const bool alsoPresent = std::any_of(m_devices.begin(), m_devices.end(),
                                             [job](const auto& other) { return other.second.job == job && other.second.present; });
        if (!alsoPresent)
            return attendance.job;
    }
    return nullptr;
}

void Station::AddJob(const SerialDeviceEntry& entry)
{
    StationRow row;
    row.port = entry.portName;
    row.device = entry.slot;
    StationJob* job = nullptr;
    m_model.AddRow([&] {
        m_jobs.push_back(std::make_unique<StationJob>(m_request, row, this));
        job = m_jobs.back().get();
    });
    connect(job, &StationJob::Line, this, &Station::Line);
    connect(job, &StationJob::Changed, this, [this, job] {
        m_model.RowChanged(RowOf(job));
        RefuseSameHandset(job);
    });
    connect(job, &StationJob::Ended, this, [this, job] { OnJobEnded(job); });
    m_devices[entry.slot] = {job, true};
    // Said in its row: a handset the station passed over in silence would
    // look served to no one.
    if (entry.portName.isEmpty())
        job->Refuse(QString::fromLatin1(station::kNoComNumber).arg(PortTable::Instance().FullText()));
    StartWaiting();
}

// One handset in two rows (listed under two names, or back under a new one
// where the system gives no slot): the later row is not served.
void Station::RefuseSameHandset(StationJob* job)
{
    const StationRow& row = job->Row();
    if (row.esn.isEmpty() || row.Finished())
        return;
    for (const auto& earlier : m_jobs) {
        if (earlier.get() == job)
            return;
        if (earlier->Row().esn == row.esn && !earlier->Row().Finished()) {
            job->Stop(QString::fromLatin1(station::kSameHandset).arg(row.esn, earlier->Row().port));
            return;
        }
    }
}

void Station::StartWaiting()
{
    auto running = std::count_if(m_jobs.begin(), m_jobs.end(), [](const auto& job) { return job->Running(); });
    for (const auto& job : m_jobs) {
        if (m_options.max > 0 && running >= m_options.max)
            return;
        if (job->Row().state == StationRow::State::Waiting) {
            job->Start();
            ++running;
        }
    }
}

void Station::OnJobEnded(StationJob* job)
{
    for (auto it = m_devices.begin(); it != m_devices.end();)
        it = it->second.job == job && !it->second.present ? m_devices.erase(it) : std::next(it);
    if (!m_stopping)
        StartWaiting();
    emit RowEnded(RowOf(job));
    CheckEnded();
}

void Station::CheckEnded()
{
    if (m_endSent || !(m_options.once || m_stopping) || !AllEnded())
        return;
    m_endSent = true;
    emit Ended();
}

int Station::RowOf(const StationJob* job) const
{
    auto it = std::find_if(m_jobs.begin(), m_jobs.end(), [job](const auto& each) { return each.get() == job; });
    return static_cast<int>(it - m_jobs.begin());
}

} // namespace corvanetov
