#include "history/SqliteFile.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvanetov {

namespace {
const char* const kJournals[] = {"-wal", "-shm"};

QString Why(const QString& what, const QString& path)
{
    return QString("cannot %1 %2: %3").arg(what, path, QString::fromLocal8Bit(std::strerror(errno)));
}
} // namespace

QString SqliteFile::Prepare(const QString& path)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (!QFileInfo(folder).isDir()) {
        QDir().mkpath(QFileInfo(folder).absolutePath());
        if (::mkdir(folder.toLocal8Bit().constData(), 0700) != 0 && errno != EEXIST)
            return Why("create the folder", folder);
    }
    int fd = ::open(path.toLocal8Bit().constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return Why("create", path);
    ::close(fd);
    return {};
}

QString SqliteFile::MoveAside(const QString& path)
{
    const QString aside = path + ".unreadable-" + QDateTime::currentDateTimeUtc().toString("yyyyMMddThhmmsszzz");
    QFile::rename(path, aside);
    for (const char* journal : kJournals)
        QFile::rename(path + journal, aside + journal);
    return aside;
}

} // namespace corvanetov
