#include "history/SqliteFile.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QtEndian>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvanetov {

namespace {
const char* const kJournals[] = {"-wal", "-shm"};
// SQLite's file header: its first bytes, and where the application's mark is.
constexpr char kMagic[] = "SQLite format 3";
constexpr int kHeaderSize = 100;
constexpr int kMarkOffset = 68;

QString Why(const QString& what, const QString& path)
{
    return QString("cannot %1 %2: %3").arg(what, path, QString::fromLocal8Bit(std::strerror(errno)));
}
} // namespace

SqliteFile::Owner SqliteFile::Prepare(const QString& path, QString* why)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (!QFileInfo(folder).isDir()) {
        QDir().mkpath(QFileInfo(folder).absolutePath());
        if (::mkdir(folder.toLocal8Bit().constData(), 0700) != 0 && errno != EEXIST)
            return *why = Why("create the folder", folder), Owner::Foreign;
    }
    // Read-only and non-blocking: a pipe in the file's place must not hold
    // the tool, and a file the user may only read can still be listed.
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0)
        return *why = Why("open", path), Owner::Foreign;
    struct stat file {};
    unsigned char header[kHeaderSize] = {};
    const bool regular = ::fstat(fd, &file) == 0 && S_ISREG(file.st_mode);
    const ssize_t got = regular ? ::pread(fd, header, sizeof header, 0) : 0;
    ::close(fd);
    if (!regular)
        return *why = path + " is not a regular file (a pipe or a device?); it was left as it is", Owner::Foreign;
    if (got == 0)
        return Owner::New;
    const quint32 mark = qFromBigEndian<quint32>(header + kMarkOffset);
    if (mark == kApplicationId)
        return Owner::Ours;
    const bool sqlite = got == kHeaderSize && std::memcmp(header, kMagic, sizeof kMagic) == 0;
    return sqlite && mark == 0 ? Owner::Unmarked : Owner::Foreign;
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
