#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <fcntl.h>
#include <filesystem>
#include <set>
#include <sys/inotify.h>
#include <thread>
#include <sys/stat.h>
#include <unistd.h>

#include "AtOnce.h"
#include "FreshStore.h"
#include "comm/DownloadModeNotes.h"
#include "comm/PortResolver.h"
#include "platform/PrivateFolder.h"
#include "ports/PortTable.h"

using namespace corvanetov;

using PortTableTest = FreshStore;

TEST_F(PortTableTest, NewDevicesGetTheLowestFreeNumberAndKeepIt)
{
    PortTable& table = PortTable::Instance();
    EXPECT_EQ(table.NumberFor("/dev/serial/by-id/a"), 1);
    EXPECT_EQ(table.NumberFor("/dev/serial/by-id/b"), 2);
    EXPECT_EQ(table.NumberFor("/dev/serial/by-id/a"), 1);
    EXPECT_EQ(table.DevicePath(2), "/dev/serial/by-id/b");

    // A number freed by hand is the next one given; the others stay.
    ASSERT_TRUE(table.Assign(1, ""));
    EXPECT_EQ(table.NumberFor("/dev/serial/by-id/c"), 1);
    EXPECT_EQ(table.NumberFor("/dev/serial/by-id/b"), 2);
}

TEST_F(PortTableTest, EntriesWrittenByHandWin)
{
    PortTable& table = PortTable::Instance();
    ASSERT_TRUE(table.Assign(1, "/dev/ttyS0"));
    ASSERT_TRUE(table.Assign(7, "/dev/serial/by-id/handset"));
    EXPECT_EQ(table.NumberFor("/dev/serial/by-id/handset"), 7);
    EXPECT_EQ(table.NumberFor("/dev/serial/by-id/other"), 2);
    EXPECT_EQ(table.DevicePath(1), "/dev/ttyS0");
}

TEST_F(PortTableTest, AnEntryUnderTheKernelNameMatchesItsLink)
{
    QTemporaryDir dev;
    ASSERT_TRUE(dev.isValid());
    QString tty = dev.filePath("ttyUSB3");
    QString link = dev.filePath("usb-Corvane-if02");
    QFile device(tty);
    ASSERT_TRUE(device.open(QIODevice::WriteOnly));
    ASSERT_TRUE(QFile::link(tty, link));

    ASSERT_TRUE(PortTable::Instance().Assign(5, tty));
    EXPECT_EQ(PortTable::Instance().NumberFor(link), 5);
}

TEST_F(PortTableTest, NoNumberWhenEverySerialNumberIsTaken)
{
    PortTable& table = PortTable::Instance();
    for (int port = 1; port <= ports::kLastSerialPort; ++port)
        ASSERT_TRUE(table.Assign(port, QString("/dev/taken%1").arg(port)));
    EXPECT_EQ(table.NumberFor("/dev/serial/by-id/late"), 0);
    EXPECT_EQ(table.DevicePath(129), "");
}

// Sets when the tool last listed port's device.
void Seen(uint8_t port, std::chrono::seconds ago)
{
    const qint64 when = QDateTime::currentSecsSinceEpoch() - ago.count();
    ASSERT_TRUE(UserSettings::WriteString(ports::kPortSeenKey, PortTable::ValueName(port), QString::number(when)));
}

// With every number taken, a new device gets the number of the device
// away longest; a device plugged in now, one listed within the hour and one
// written by hand keep theirs.
TEST_F(PortTableTest, AFullTableGivesOutTheNumberOfTheDeviceAwayLongest)
{
    using namespace std::chrono_literals;
    QTemporaryDir dev;
    ASSERT_TRUE(dev.isValid());
    PortTable& table = PortTable::Instance();
    for (int port = 1; port <= ports::kLastSerialPort; ++port)
        ASSERT_EQ(port, table.NumberFor(dev.filePath(QString("gone%1").arg(port))));
    ASSERT_TRUE(table.Assign(3, dev.filePath("by-hand")));
    QFile present(dev.filePath("gone5"));
    ASSERT_TRUE(present.open(QIODevice::WriteOnly));
    Seen(5, 5h);
    Seen(7, 4h);
    Seen(9, 2h);
    Seen(11, 30min);

    EXPECT_EQ(7, table.NumberFor(dev.filePath("new1")));
    EXPECT_EQ(9, table.NumberFor(dev.filePath("new2")));
    EXPECT_EQ(0, table.NumberFor(dev.filePath("new3"))) << "COM11 was listed half an hour ago";
    EXPECT_EQ(7, table.NumberFor(dev.filePath("new1"))) << "the new device keeps its number";
    EXPECT_EQ(3, table.NumberFor(dev.filePath("by-hand")));
    EXPECT_TRUE(table.FullText().contains("127 by devices listed within the last 60 minutes or plugged in now, 1 written by hand"))
        << table.FullText().toStdString();
}

TEST_F(PortTableTest, ResolverOpensDevicesAndTheNetworkLink)
{
    PortTable& table = PortTable::Instance();
    ASSERT_TRUE(table.Assign(3, "/dev/ttyACM0"));
    ASSERT_TRUE(table.Assign(130, "/dev/never-used"));
    ASSERT_TRUE(table.SetTelnet("localhost:7000"));
    table.InstallResolver();
    PortResolver& resolver = PortResolver::Instance();
    EXPECT_EQ(resolver.Resolve(3), "/dev/ttyACM0");
    EXPECT_EQ(resolver.Resolve(4), "");
    EXPECT_EQ(resolver.Resolve(0), "");
    EXPECT_EQ(resolver.Resolve(128), "");
    EXPECT_EQ(resolver.Resolve(129), "localhost:7000");
    EXPECT_EQ(resolver.Resolve(130), "localhost:7000");
    EXPECT_EQ(resolver.Resolve(255), "localhost:7000");
    PortResolver::Instance().Set(nullptr);
}

// The notes of handsets left in download mode are kept per slot, a file
// each in a folder of the user's beside the store: whatever COM number or
// device name leads to the slot finds its note, a note is written once,
// and a link planted at a note's name is replaced, never followed. Notes
// that earlier versions kept in the store per COM number are dropped.
TEST_F(PortTableTest, DownloadModeNotesAreFilesPerSlotBesideTheStore)
{
    namespace fs = std::filesystem;
    QTemporaryDir dev;
    ASSERT_TRUE(dev.isValid());
    const std::string tty = dev.filePath("ttyUSB0").toStdString();
    const std::string slot = dev.filePath("by-path/pci-0000:00:14.0-usb-0:1:1.2-port0").toStdString();
    fs::create_directory(dev.filePath("by-path").toStdString());
    QFile(QString::fromStdString(tty)).open(QIODevice::WriteOnly);
    fs::create_symlink(tty, slot);
    qputenv("CORVANETOV_SERIAL_BY_PATH", dev.filePath("by-path").toLocal8Bit());
    ASSERT_TRUE(UserSettings::WriteString(ports::kDownloadModeKey, "COM3", "1"));
    PortTable& table = PortTable::Instance();
    ASSERT_TRUE(table.Assign(3, QString::fromStdString(tty)));
    ASSERT_TRUE(table.SetTelnet("bench:7000"));
    table.InstallResolver();
    EXPECT_TRUE(UserSettings::Values(ports::kDownloadModeKey).isEmpty());

    EXPECT_EQ(slot, DownloadModeNotes::SlotOf(3)) << "the device's slot";
    EXPECT_EQ("bench:7000", DownloadModeNotes::SlotOf(129));
    DownloadModeNotes& notes = DownloadModeNotes::Instance();
    notes.Remember(DownloadModeNotes::SlotOf(3), "8D2A41F3");
    ASSERT_TRUE(table.Assign(4, QString::fromStdString(slot))); // the device's number is now 4
    EXPECT_EQ("8D2A41F3", notes.Find(DownloadModeNotes::SlotOf(4)).value_or("none"));
    EXPECT_FALSE(notes.Remembered("bench:7000"));

    const fs::path folder = fs::path(UserSettings::FileName().toStdString()).parent_path() / ports::kDownloadModeFolder;
    const fs::path file = folder / PrivateFolder::NameFor(slot);
    ASSERT_EQ(1, std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
    struct stat kept {};
    ASSERT_EQ(0, ::lstat(file.c_str(), &kept));
    EXPECT_EQ(0600u, kept.st_mode & 07777);
    EXPECT_EQ(fs::perms::owner_all, fs::status(folder).permissions());
    notes.Remember(slot, "");
    struct stat again {};
    ASSERT_EQ(0, ::lstat(file.c_str(), &again));
    EXPECT_EQ(kept.st_ino, again.st_ino) << "a note already there is not written again";
    EXPECT_EQ("8D2A41F3", notes.Find(slot).value_or("none"));

    notes.Forget(slot);
    EXPECT_FALSE(notes.Remembered(slot));
    const std::string elsewhere = dev.filePath("elsewhere").toStdString();
    fs::create_symlink(elsewhere, file);
    EXPECT_FALSE(notes.Remembered(slot));
    notes.Remember(slot, "8D2A41F3");
    EXPECT_FALSE(fs::exists(elsewhere));
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(file)));

    qunsetenv("CORVANETOV_SERIAL_BY_PATH");
    PortResolver::Instance().Set(nullptr);
    notes.SetFolder({});
}

// A pseudo-terminal's number goes to the next terminal opened once it is
// closed: a note of the terminal a flash left is not the next one's, in the
// folder or in the process alone, while the terminal itself keeps it.
TEST_F(PortTableTest, ANoteOfAPseudoTerminalIsNotTheNextTerminalsOfItsNumber)
{
    auto open = [] {
        const int fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        char name[64] = {};
        if (fd >= 0 && (::grantpt(fd) != 0 || ::unlockpt(fd) != 0 || ::ptsname_r(fd, name, sizeof name) != 0))
            name[0] = '\0';
        return std::make_pair(fd, std::string(name));
    };
    DownloadModeNotes& notes = DownloadModeNotes::Instance();
    PortTable::Instance().InstallResolver();
    for (bool inFolder : {true, false}) {
        if (!inFolder)
            notes.SetFolder({});
        auto [noted, slot] = open();
        ASSERT_FALSE(slot.empty());
        notes.Remember(slot, "8D2A41F3");
        EXPECT_EQ("8D2A41F3", notes.Find(slot).value_or("none")) << "in the folder: " << inFolder;
        // A terminal is told from the one before it by when it was made, in
        // the clock's ticks (a few milliseconds each), so the next is made a
        // tick later, at once after the close: another program may still
        // take the number first, hence a few tries.
        std::pair<int, std::string> next{-1, {}};
        for (int attempt = 0; attempt < 20 && next.second != slot; ++attempt) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            ::close(noted);
            noted = next.first;
            next = open();
        }
        ASSERT_EQ(slot, next.second) << "the number was never given again";
        EXPECT_FALSE(notes.Remembered(slot)) << "in the folder: " << inFolder;
        ::close(next.first);
        if (noted >= 0)
            ::close(noted);
        notes.Forget(slot);
    }
}

TEST_F(PortTableTest, ForgettingFreesANumberOrDropsTheNetworkLink)
{
    PortTable& table = PortTable::Instance();
    ASSERT_TRUE(table.Assign(2, "/dev/ttyUSB0"));
    ASSERT_TRUE(table.Assign(9, "/dev/ttyUSB1"));
    ASSERT_TRUE(table.SetTelnet("bench-pc:4001"));
    ASSERT_EQ(table.Entries().size(), 3u);
    EXPECT_EQ(table.Entries().back().port, 129);
    EXPECT_EQ(table.Entries().back().target, "bench-pc:4001");

    ASSERT_TRUE(table.Forget(2));
    ASSERT_TRUE(table.Forget(200)); // any number above 128 is the link
    ASSERT_EQ(table.Entries().size(), 1u);
    EXPECT_EQ(table.Entries()[0].port, 9);
    EXPECT_EQ(table.Target(130), "");
    EXPECT_EQ(table.NumberFor("/dev/ttyACM0"), 1);
    EXPECT_EQ(table.NumberFor("/dev/ttyUSB5"), 2);
}

TEST_F(PortTableTest, AssigningADeviceMovesItFromItsOldNumber)
{
    PortTable& table = PortTable::Instance();
    EXPECT_EQ(table.NumberFor("/dev/serial/by-id/handset"), 1);
    ASSERT_TRUE(table.Assign(6, "/dev/serial/by-id/handset"));
    EXPECT_EQ(table.DevicePath(1), "");
    EXPECT_EQ(table.NumberFor("/dev/serial/by-id/handset"), 6);
}

// Tools started together on new devices, as a station's or a script's are,
// each numbering its own: every device gets a number of its own, and none is
// written over by another's. The tools have no application object, as the
// command line has none.
TEST_F(PortTableTest, ToolsNumberingAtOnceGiveEachDeviceItsOwnNumber)
{
    constexpr int kTools = 8;
    constexpr int kRounds = 6;
    for (int round = 0; round < kRounds; ++round) {
        auto device = [round](int tool) { return QStringLiteral("/dev/serial/by-id/r%1-t%2").arg(round).arg(tool); };
        AtOnce tools;
        RunAtOnce(kTools, [&](int tool) { return PortTable::Instance().NumberFor(device(tool)); }, tools);
        const std::vector<int>& numbers = tools.statuses;
        ASSERT_EQ(numbers.size(), static_cast<size_t>(kTools));
        EXPECT_EQ(std::set<int>(numbers.begin(), numbers.end()).size(), static_cast<size_t>(kTools)) << "round " << round;
        for (int tool = 0; tool < kTools; ++tool)
            EXPECT_EQ(PortTable::Instance().DevicePath(static_cast<uint8_t>(numbers[tool])), device(tool))
                << "round " << round << " tool " << tool;
    }
}

// A tray's listing numbers its new devices in one write of the store (each
// write waits for the disk: 64 one by one kept a station's jobs waiting
// 0.7 s), as it would have one by one; a device it knows costs no write.
TEST_F(PortTableTest, AListingNumbersItsNewDevicesInOneWrite)
{
    PortTable& table = PortTable::Instance();
    ASSERT_TRUE(table.Assign(2, "/dev/serial/by-id/by-hand"));
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, QFile::encodeName(QFileInfo(UserSettings::FileName()).path()).constData(),
                                  IN_CREATE | IN_MOVED_TO),
              0);
    QStringList devices = {"/dev/serial/by-id/by-hand"};
    for (int device = 0; device < 20; ++device)
        devices << QStringLiteral("/dev/serial/by-id/tray-%1").arg(device);
    const std::vector<uint8_t> numbers = table.NumbersFor(devices);
    const std::vector<uint8_t> again = table.NumbersFor(devices);
    alignas(inotify_event) char events[16384];
    const ssize_t length = ::read(watch, events, sizeof events);
    ::close(watch);
    int writes = 0;
    for (ssize_t at = 0; at < length;) {
        const auto* event = reinterpret_cast<const inotify_event*>(events + at);
        // A write makes a new file and puts it in the store's place; the
        // events between keep the kernel from merging those of two writes.
        writes += (event->mask & IN_MOVED_TO) && QFileInfo(UserSettings::FileName()).fileName() == QLatin1String(event->name);
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
    EXPECT_EQ(1, writes);
    std::vector<uint8_t> expected = {2, 1};
    for (uint8_t port = 3; expected.size() < static_cast<size_t>(devices.size()); ++port)
        expected.push_back(port);
    EXPECT_EQ(expected, numbers);
    EXPECT_EQ(expected, again);
    for (size_t device = 0; device < expected.size(); ++device)
        EXPECT_EQ(devices[static_cast<qsizetype>(device)], table.DevicePath(expected[device])) << device;
}

TEST(PortTableNames, SerialPortNamesAndNetworkAddresses)
{
    const std::pair<const char*, int> names[] = {
        {"COM1", 1}, {"com7", 7}, {"Com128", 128}, {"COM129", 0}, {"COM0", 0}, {"COM01", 0},
        {"COM", 0}, {"COM3 ", 0}, {"3", 0}, {"TELNET", 0}, {"COM1000", 0}, {"", 0},
    };
    for (auto [name, port] : names)
        EXPECT_EQ(PortTable::SerialPortNumber(QString::fromLatin1(name)), port) << name;

    const std::pair<const char*, bool> addresses[] = {
        {"bench-pc:4001", true}, {"10.0.0.5:1", true}, {"ser2net.lab.example:65535", true}, {"[fd00::7]:4001", true},
        {"[::1]:23", true}, {"bench-pc", false}, {"bench-pc:", false}, {":4001", false}, {"bench-pc:0", false},
        {"bench-pc:65536", false}, {"bench-pc:99999", false}, {"bench pc:4001", false}, {"-bench:4001", false},
        {"bench-:4001", false}, {"fd00::7:4001", false}, {"[]:4001", false}, {"bench..pc:4001", false}, {"", false},
    };
    for (auto [address, valid] : addresses)
        EXPECT_EQ(PortTable::IsNetworkAddress(QString::fromLatin1(address)), valid) << address;
}
