#include <gtest/gtest.h>

#include <QSqlDatabase>
#include <QSqlQuery>
#include <chrono>
#include <thread>

#include "TempFolder.h"
#include "ViewRecords.h"
#include "engine/EngineConstants.h"
#include "engine/OperationSink.h"
#include "history/OperationRecord.h"

using namespace corvanetov;

// The window's thread hands its record over and goes on: with the history
// file held by another writer, a view's end costs it no wait, and the
// record is kept once the file is free.
TEST(ViewRecord, TheWindowNeverWaitsForTheStore)
{
    TempFolder folder;
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(folder.File("data")));
    ASSERT_TRUE(HistoryStore(ViewRecord::Keeper().Location()).Open());
    {
        QSqlDatabase holder = QSqlDatabase::addDatabase("QSQLITE", "holder");
        holder.setDatabaseName(ViewRecord::Keeper().Location().path);
        ASSERT_TRUE(holder.open());
        QSqlQuery hold(holder);
        ASSERT_TRUE(hold.exec("BEGIN IMMEDIATE"));
        ViewRecord record;
        record.Begin("identify");
        const auto start = std::chrono::steady_clock::now();
        record.KeepEnded({0, 0, 0, 0, "Completed", OperationMessage::Outcome::Succeeded});
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
        std::this_thread::sleep_for(std::chrono::milliseconds(HistoryStore::kKeepWaitMs / 4));
        ASSERT_TRUE(hold.exec("ROLLBACK"));
    }
    QSqlDatabase::removeDatabase("holder");
    const std::vector<ServiceRecord> kept = KeptViewRecords("identify");
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].result, ServiceRecord::kCompleted);
}

// A flash in the window keeps its record as begun at its step into download
// mode, once; its end, with the same start, then stands for both.
TEST(ViewRecord, AFlashKeepsItsBegunRecordAtTheSwitchIntoDownloadMode)
{
    TempFolder folder;
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(folder.File("data")));
    constexpr char kFlash[] = "flash option 0";
    ViewRecord record;
    record.Begin(kFlash);
    record.Draft()->inputs << RecordInput{"code", "code.bin", 4, "ab12"};
    auto status = [](const char* step) {
        return OperationMessage{engine::kMsgDownload, 0, engine::kDownloadStatus, 0, step};
    };
    record.Note(status(engine::kStepInitComPort));
    EXPECT_TRUE(KeptViewRecords(kFlash).empty()) << "not yet in download mode";
    record.Note(status(engine::kStepDownloadMode));
    record.Note(status(engine::kStepDownloadStart));
    std::vector<ServiceRecord> kept = KeptViewRecords(kFlash);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].result, ServiceRecord::kUnfinished);
    EXPECT_EQ(kept[0].inputs.size(), 1);
    record.KeepEnded({engine::kMsgDownload, 0, engine::kDownloadEnd, 0, "Completed", OperationMessage::Outcome::Succeeded});
    kept = KeptViewRecords(kFlash);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].result, ServiceRecord::kCompleted);
}
