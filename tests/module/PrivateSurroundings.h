#pragma once

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace corvanetov {

// The module's surroundings in a folder of the test's own: a private
// per-user store, and a serial device listing with a handset in it, so that
// the phone information view finds its port and asks nothing when shown.
inline bool UsePrivateSurroundings(const QTemporaryDir& folder)
{
    qputenv("XDG_CONFIG_HOME", folder.filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("CORVANETOV_SERIAL_BY_ID", folder.filePath(QStringLiteral("by-id")).toLocal8Bit());
    return QDir(folder.path()).mkpath(QStringLiteral("by-id"))
        && QFile::link(QStringLiteral("/dev/null"), folder.filePath(QStringLiteral("by-id/usb-Corvane_VQX-B410_qxcdmdm-if02-port0")));
}

} // namespace corvanetov
