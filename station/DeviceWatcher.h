#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <vector>

#include "ports/SerialDeviceListing.h"

namespace corvanetov {

// Watches the serial device listing and tells of the handsets in it
// whenever the listing changes: a link made or removed in the by-id folder.
// The folder's watch tells at once; a slow rescan catches what a watch can
// miss (the folder made only when the first device appears, a link that
// came and went between two looks).
class DeviceWatcher : public QObject {
    Q_OBJECT
public:
    explicit DeviceWatcher(QObject* parent = nullptr);

    void Start();
    // The handsets listed now, each with its COM number (none where the
    // port table had none to give).
    static std::vector<SerialDeviceEntry> Handsets();

signals:
    void Listed(const std::vector<SerialDeviceEntry>& handsets);

private:
    void Look();

    QFileSystemWatcher m_watch;
    QTimer m_rescan;
    QStringList m_names; // the folder's entries at the last look
    bool m_looked = false;
};

} // namespace corvanetov
