#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <chrono>
#include <sys/stat.h>

#include "AtOnce.h"
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

// A station's jobs write to the store at the same moment. Each must wait
// only for the writes ahead of it: Qt's own lock alone makes a writer that
// finds it taken sleep longer at every try (up to seconds), so that the
// last of many waited far longer than all the writes took.
TEST_F(UserSettingsTest, WritersAtOnceWaitOnlyForTheWritesAheadOfThem)
{
    constexpr int kWriters = 32;
    using Clock = std::chrono::steady_clock;
    auto write = [](int writer, const char* text) {
        return UserSettings::WriteString(ports::kPortTableKey, QStringLiteral("W%1").arg(writer), QString::fromLatin1(text));
    };
    // What the writes take on this machine now, one after the other.
    const Clock::time_point inTurn = Clock::now();
    for (int writer = 0; writer < kWriters; ++writer)
        ASSERT_TRUE(write(writer, "first"));
    const std::chrono::duration<double> oneAfterTheOther = Clock::now() - inTurn;

    AtOnce together;
    RunAtOnce(kWriters, [&](int writer) { return write(writer, "second") ? 0 : 1; }, together);
    EXPECT_EQ(std::vector<int>(kWriters, 0), together.statuses);
    EXPECT_LT(together.seconds.count(), 2 * oneAfterTheOther.count() + 0.5)
        << "one after the other " << oneAfterTheOther.count() << " s";
    const QHash<QString, QString> values = UserSettings::Values(ports::kPortTableKey);
    for (int writer = 0; writer < kWriters; ++writer)
        EXPECT_EQ(QStringLiteral("second"), values.value(QStringLiteral("W%1").arg(writer))) << writer;
}
