#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "FreshStore.h"
#include "ports/PortTable.h"
#include "ports/SerialDeviceListing.h"

using namespace corvanetov;

namespace {

// A by-id folder of the test's own, named to the listing through the
// environment as the simulator does.
class DeviceFolderTest : public FreshStore {
protected:
    void SetUp() override
    {
        FreshStore::SetUp();
        ASSERT_TRUE(m_folder.isValid());
        qputenv(ports::kSerialByIdVariable, m_folder.path().toLocal8Bit());
    }
    void TearDown() override { qunsetenv(ports::kSerialByIdVariable); }

    void AddDevice(const QString& name)
    {
        QFile device(m_folder.filePath(name));
        ASSERT_TRUE(device.open(QIODevice::WriteOnly));
    }
    QString PathOf(const QString& name) const { return m_folder.filePath(name); }

    QTemporaryDir m_folder;
};

SerialDeviceEntry Entry(const char* name, const char* portName)
{
    return {name, portName, QString("/dev/serial/by-id/") + name};
}

} // namespace

TEST_F(DeviceFolderTest, ListsDevicesInNameOrderWithTheirComNumbers)
{
    ASSERT_TRUE(PortTable::Instance().Assign(4, PathOf("b-modem")));
    AddDevice("c-gps");
    AddDevice("b-modem");
    AddDevice("a-qxcdmdm-if01");
    // Real entries are links to character devices.
    ASSERT_TRUE(QFile::link("/dev/null", PathOf("d-tty")));
    ASSERT_TRUE(QDir(m_folder.path()).mkdir("e-folder"));

    std::vector<SerialDeviceEntry> entries = SerialDeviceListing::List();
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].valueName, "a-qxcdmdm-if01");
    EXPECT_EQ(entries[0].portName, "COM1");
    EXPECT_EQ(entries[0].devicePath, PathOf("a-qxcdmdm-if01"));
    EXPECT_EQ(entries[1].portName, "COM4");
    EXPECT_EQ(entries[2].portName, "COM2");
    EXPECT_EQ(entries[3].valueName, "d-tty");
    EXPECT_EQ(entries[3].portName, "COM3");
    // A second listing finds the same numbers.
    EXPECT_EQ(SerialDeviceListing::List()[2].portName, "COM2");
    EXPECT_EQ(SerialDeviceListing::FindHandsetPort(), 1);
}

TEST_F(DeviceFolderTest, FindsNothingInAnEmptyOrMissingFolder)
{
    EXPECT_EQ(SerialDeviceListing::FindHandsetPort(), 0);
    AddDevice("usb-modem-if00");
    EXPECT_EQ(SerialDeviceListing::FindHandsetPort(), 0);
    qputenv(ports::kSerialByIdVariable, PathOf("missing").toLocal8Bit());
    EXPECT_TRUE(SerialDeviceListing::List().empty());
    EXPECT_EQ(SerialDeviceListing::FindHandsetPort(), 0);
}

TEST(HandsetSearch, FirstMatchingDeviceWins)
{
    EXPECT_EQ(SerialDeviceListing::FindHandsetPort({Entry("modem", "COM3"), Entry("x_qxcdmdm_1", "COM12"),
                                                    Entry("qxcdmdm2", "COM5")}),
              12);
    EXPECT_EQ(SerialDeviceListing::FindHandsetPort({Entry("QXCDMDM", "COM3")}), 0); // the marker is case-sensitive
}

TEST(HandsetSearch, APortNameWithoutNumberFindsNothing)
{
    // The first match decides even when it has no usable number.
    EXPECT_EQ(SerialDeviceListing::FindHandsetPort({Entry("qxcdmdm", "CO"), Entry("qxcdmdm-2", "COM5")}), 0);
    EXPECT_EQ(SerialDeviceListing::FindHandsetPort({Entry("qxcdmdm", "COM")}), 0);
    EXPECT_EQ(SerialDeviceListing::FindHandsetPort({Entry("qxcdmdm", "")}), 0);
    EXPECT_EQ(SerialDeviceListing::FindHandsetPort({Entry("qxcdmdm", "TTY9")}), 9);
}
