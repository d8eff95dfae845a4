#pragma once

#include <QString>
#include <string>
#include <vector>

#include "engine/OperationSink.h"
#include "history/ServiceRecord.h"

namespace corvanetov {

class NvDoc;

// How a front end turns an operation into its record: the bench and the
// operator at the start, the inputs as the operation takes them, the port
// and the handset as the engine identified it, and the end as the user read
// it. The engine knows nothing of records.
class OperationRecord {
public:
    static constexpr char kStationRunVariable[] = "CORVANETOV_STATION_RUN";

    // A record of an operation starting now. It names only the handset this
    // operation identifies: the front end passes Identifications() at the
    // start in End. The engine's state is only looked at.
    static ServiceRecord Begin(const QString& frontEnd, const QString& operation);
    static uint64_t Identifications();
    // A file as it is now: its name, size and SHA-256, read in blocks.
    static RecordInput FileInput(const QString& role, const std::string& path);
    // The files a roaming list or ERI programming writes, one a NAM (an
    // empty path: that NAM is not written), named after the operation and
    // the NAM ("prl NAM2"), and the NAMs it writes ("NAM1+NAM2").
    static void TakeNamFiles(ServiceRecord& record, const std::string& nam1, const std::string& nam2);
    // The settings image, as a snapshot to undo a write with.
    static QByteArray Snapshot(const NvDoc& doc);

    struct End {
        bool stopped = false;
        bool succeeded = false;
        std::string text;
        int exitStatus = 0;
        // Every report, for the bytes written to the handset.
        std::vector<OperationMessage> messages;
        // The ESN the operation last identified: the context forgets it when
        // a later identification goes unanswered (a flashed handset that
        // does not come back), and the record must still name the handset.
        std::string identifiedEsn;
        // Identifications() when the operation began.
        uint64_t identificationsBefore = 0;
    };
    // What a front end notes of the context as each report comes: the ESN
    // identified since the operation began, if any by then.
    static void NoteIdentity(std::string& identifiedEsn, uint64_t identificationsBefore = 0);
    // The most bytes the reports say were written to the handset.
    static qint64 BytesWritten(const std::vector<OperationMessage>& messages);
    // The port, the identified handset, the end, and the end time.
    static void Finish(ServiceRecord& record, const End& end);

    // The record a flash keeps as it reaches download mode (or starts, for
    // a handset already there): the record as begun, under a UUID of its
    // own, with the port and the handset as they are now. Its end record
    // has the same start time, which pairs the two.
    static ServiceRecord Unfinished(const ServiceRecord& begun, const std::string& identifiedEsn);
    // Whether the report is the flash's step into download mode ("Changing
    // D/L Mode", or "Download Start" for a handset already there), where
    // its unfinished record is kept.
    static bool ReachesDownloadMode(const OperationMessage& message);
    static constexpr char kUnfinishedText[] = "The flash was under way: no end of it was recorded.";

    // A flash that keeps the settings is one record, the flash's: once the
    // flash has ended well, its end text and the version the handset now
    // runs are taken here, and Finish, at the end of the write-back, adds
    // what became of the settings.
    static void TakeFlashEnd(ServiceRecord& record, const std::string& flashEnd);
    // The settings a job read to keep, as its snapshot, and the handset it
    // read them from (the one just identified): the job's handset, which
    // Finish keeps where a later step met another in its place.
    static void TakeKeptSettings(ServiceRecord& record, const NvDoc& settings);
    static constexpr char kWrittenBack[] = "\nThe settings were written back.";
    static constexpr char kNotWrittenBack[] = "\nThe settings were NOT written back: ";

private:
    // Where a record says the port's handset is: its slot, which a handset
    // keeps across a restart into download mode (DownloadModeNotes::SlotOf),
    // and by which recovery looks its flashes up.
    static QString Place(uint8_t port);
    static void TakePort(ServiceRecord& record);
    static void TakeIdentity(ServiceRecord& record, const End& end);
    static QString EndText(const ServiceRecord& record, const End& end);
    static bool Refused(const ServiceRecord& record, const std::string& text);
};

} // namespace corvanetov
