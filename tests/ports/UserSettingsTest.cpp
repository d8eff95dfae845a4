#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sys/stat.h>

#include "FreshStore.h"

using namespace corvanetov;

namespace {
QByteArray FileBytes()
{
    QFile file(UserSettings::FileName());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void PutFile(const QByteArray& bytes)
{
    ASSERT_TRUE(QDir().mkpath(QFileInfo(UserSettings::FileName()).path()));
    QFile file(UserSettings::FileName());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}
} // namespace

using UserSettingsTest = FreshStore;

// Qt tells only the first reader of a damaged file; every later write must
// still leave the file alone, until the file is mended.
TEST_F(UserSettingsTest, ADamagedFileIsNeverWrittenOver)
{
    const QByteArray damaged[] = {QByteArray("[Software]\nkept=1\n[Software\n"), QByteArray("\x00\x01\x02[\xff", 5)};
    for (const QByteArray& bytes : damaged) {
        PutFile(bytes);
        UserSettings::Values(ports::kPortTableKey); // the reader that Qt tells
        EXPECT_FALSE(UserSettings::WriteString(ports::kPortTableKey, QStringLiteral("COM1"), QStringLiteral("/dev/x")));
        EXPECT_FALSE(UserSettings::Remove(ports::kPortTableKey, QStringLiteral("COM1")));
        EXPECT_FALSE(UserSettings::Writable());
        EXPECT_EQ(bytes, FileBytes());
    }
    // A mended file (another size) is written again.
    PutFile("[Software]\nkept=1\n");
    EXPECT_TRUE(UserSettings::Writable());
    EXPECT_TRUE(UserSettings::WriteString(ports::kPortTableKey, QStringLiteral("COM1"), QStringLiteral("/dev/x")));
    EXPECT_EQ(QStringLiteral("/dev/x"), UserSettings::ReadString(ports::kPortTableKey, QStringLiteral("COM1")));
}

// The store may name a shop's server with its password: whoever writes it
// first, and whatever the umask, it is the user's alone.
TEST_F(UserSettingsTest, TheFileIsTheUsersAlone)
{
    const mode_t umask = ::umask(022);
    for (const bool existed : {false, true}) {
        QFile::remove(UserSettings::FileName());
        if (existed) {
            PutFile("[History]\n");
            QFile::setPermissions(UserSettings::FileName(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
        }
        EXPECT_TRUE(UserSettings::WriteString(QStringLiteral("History"), QStringLiteral("url"), QStringLiteral("postgresql://a:b@h/d")));
        struct stat info {};
        ASSERT_EQ(0, ::stat(QFile::encodeName(UserSettings::FileName()).constData(), &info));
        EXPECT_EQ(info.st_mode & 0777, 0600u) << (existed ? "an older file" : "a new file");
    }
    ::umask(umask);
}
