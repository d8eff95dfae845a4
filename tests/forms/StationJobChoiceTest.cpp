#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <gtest/gtest.h>

#include "forms/StationJobChoice.h"

using namespace corvanetov;

namespace {

// A choice in the station window and the command line it gives every handset.
struct ChoiceCase {
    const char* name;
    StationJobChoice::Job job;
    int option;
    std::map<std::string, std::string> files; // field name, text
    QStringList words;                        // empty: refused
    const char* missing;
};

const ChoiceCase kCases[] = {
    {"phone information", StationJobChoice::PhoneInfo, 0, {}, {"info"}, ""},
    {"settings from a file", StationJobChoice::WriteSettings, 0, {{"settings", "tray.mmc"}}, {"settings", "write", "tray.mmc"}, ""},
    {"settings without a file", StationJobChoice::WriteSettings, 0, {}, {}, "a settings file"},
    {"code only", StationJobChoice::Download, 0, {{"code", "c.bin"}, {"font", "f.bin"}},
     {"flash", "--option", "0", "--code", "c.bin"}, ""},
    {"code and font", StationJobChoice::Download, 1, {{"code", "c.bin"}, {"font", "f.bin"}},
     {"flash", "--option", "1", "--code", "c.bin", "--font", "f.bin", "--font-address", "2E00000"}, ""},
    {"font only, for a handset in download mode", StationJobChoice::Download, 5, {{"code", "c.bin"}, {"font", "f.bin"}},
     {"flash", "--option", "5", "--font", "f.bin", "--font-address", "2E00000"}, ""},
    {"font without its image", StationJobChoice::Download, 2, {{"code", "c.bin"}}, {}, "a font image"},
    {"PRL for NAM2 only", StationJobChoice::Prl, 0, {{"nam2", "b.prl"}}, {"prl", "--nam2", "b.prl"}, ""},
    {"ERI for both NAMs", StationJobChoice::Eri, 0, {{"nam1", "a.eri"}, {"nam2", "b.eri"}},
     {"eri", "--nam1", "a.eri", "--nam2", "b.eri"}, ""},
    {"PRL without a file", StationJobChoice::Prl, 0, {}, {}, "a file for NAM1 or NAM2"},
    {"rebuild", StationJobChoice::Rebuild, 0, {}, {"rebuild"}, ""},
    // Each handset's images come from its own record, not from the window.
    {"recover", StationJobChoice::Recover, 0, {{"code", "c.bin"}}, {"recover"}, ""},
};

TEST(StationJobChoiceTest, ChoicesBecomeTheJobsCommandLine)
{
    static int argc = 1;
    static char name[] = "test_station_job_choice";
    static char* argv[] = {name, nullptr};
    static QApplication application(argc, argv);
    for (const ChoiceCase& c : kCases) {
        SCOPED_TRACE(c.name);
        StationJobChoice choice;
        choice.SetJob(c.job);
        choice.findChild<QComboBox*>("option")->setCurrentIndex(c.option);
        for (const auto& [field, text] : c.files)
            choice.findChild<QLineEdit*>(QString::fromStdString(field))->setText(QString::fromStdString(text));
        QString missing;
        EXPECT_EQ(c.words, choice.Arguments(missing));
        EXPECT_EQ(c.missing, missing.toStdString());
        EXPECT_EQ(c.job != StationJobChoice::PhoneInfo, choice.NeedsCode());
    }
}

} // namespace
