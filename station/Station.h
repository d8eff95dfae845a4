#pragma once

#include <QObject>
#include <QStringList>
#include <map>
#include <memory>
#include <vector>

#include "station/DeviceWatcher.h"
#include "station/StationJob.h"
#include "station/StationModel.h"

namespace corvanetov {

// How a station run goes: only the handsets listed at its start (once),
// only those on some ports (COM names, numbers or device paths; empty:
// all), and at most `max` jobs at once (0: all).
struct StationOptions {
    bool once = false;
    QStringList ports;
    int max = 0;
};

// Many handsets at once: every handset that appears in the device listing
// gets the job in a child process of its own. A handset is known by its
// slot (the USB port), which stays when it restarts into download mode and
// its by-id name changes. A handset whose job has ended is served again
// only after it was unplugged and plugged in again; one that leaves and
// comes back in its slot while its job runs stays that job's. Two rows of
// one ESN are one handset: the later is not served.
class Station : public QObject {
    Q_OBJECT
public:
    struct Totals {
        int completed = 0;
        int failed = 0;
        int stopped = 0;
        double seconds = 0; // from the first start to the last end
    };

    Station(StationRequest request, StationOptions options, QObject* parent = nullptr);
    ~Station() override;

    void Start();
    // Every job stopped, each port freed; Ended follows once all have ended.
    void StopAll();
    void StopRow(int row);
    bool Stopping() const { return m_stopping; }
    bool AllEnded() const;
    Totals Summary() const;
    StationModel& Model() { return m_model; }
    const StationModel& Model() const { return m_model; }
    const StationRow& Row(int row) const { return m_jobs.at(static_cast<size_t>(row))->Row(); }
    int Rows() const { return static_cast<int>(m_jobs.size()); }
    const StationRequest& Request() const { return m_request; }

signals:
    // A job's line, whole, with its port.
    void Line(const QByteArray& line);
    // A row ended (its result is in the table).
    void RowEnded(int row);
    // --once: every handset's job has ended; after StopAll: every job.
    void Ended();

private:
    // What the station knows of a slot: the job that served or serves its
    // handset, and whether it is listed now.
    struct Attendance {
        StationJob* job = nullptr;
        bool present = true;
    };

    void OnListed(const std::vector<SerialDeviceEntry>& handsets);
    void FollowSlots(const std::vector<SerialDeviceEntry>& handsets);
    bool Wanted(const SerialDeviceEntry& entry) const;
    void Arrived(const SerialDeviceEntry& entry);
    using Devices = std::map<QString, Attendance>;
    // The handset of this entry left the listing; the entry after it.
    Devices::iterator Left(Devices::iterator device, std::vector<StationJob*>& neverStarted);
    // The running job whose handset left during its restart into download
    // mode: a device that appears now is that handset again.
    StationJob* RestartingJob() const;
    void AddJob(const SerialDeviceEntry& entry);
    void RefuseSameHandset(StationJob* job);
    void StartWaiting();
    void OnJobEnded(StationJob* job);
    void CheckEnded();
    int RowOf(const StationJob* job) const;

    StationRequest m_request;
    StationOptions m_options;
    DeviceWatcher m_watcher;
    std::vector<std::unique_ptr<StationJob>> m_jobs;
    StationModel m_model;
    Devices m_devices;
    bool m_firstListing = true;
    bool m_stopping = false;
    bool m_endSent = false;
};

} // namespace corvanetov
