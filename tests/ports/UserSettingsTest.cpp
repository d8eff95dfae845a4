#include <QDir>
#include <QFile>
#include <QFileInfo>

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
