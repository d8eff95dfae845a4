#include "history/OperationRecord.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QSysInfo>
#include <algorithm>
#include <pwd.h>
#include <unistd.h>

#include "comm/DownloadModeNotes.h"
#include "comm/HandsetClaim.h"
#include "comm/PortResolver.h"
#include "engine/EngineConstants.h"
#include "engine/OperationContext.h"
#include "engine/OperationFamily.h"
#include "engine/OperationSink.h"
#include "nv/NvConstants.h"
#include "nv/NvDoc.h"
#include "platform/InputFile.h"
#include "version/Version.h"

namespace corvanetov {

namespace {
constexpr size_t kHashChunk = 64 * 1024;

QString LoginName()
{
    if (const passwd* entry = ::getpwuid(::geteuid()))
        return QString::fromLocal8Bit(entry->pw_name);
    return qEnvironmentVariable("USER");
}
} // namespace

ServiceRecord OperationRecord::Begin(const QString& frontEnd, const QString& operation)
{
    ServiceRecord record = ServiceRecord::Begin();
    record.bench = QSysInfo::machineHostName();
    record.operatorName = LoginName();
    record.frontEnd = frontEnd;
    record.toolVersion = kVersion;
    record.operation = operation;
    record.stationRun = qEnvironmentVariable(kStationRunVariable);
    return record;
}

uint64_t OperationRecord::Identifications()
{
    return Context().Identifications();
}

RecordInput OperationRecord::FileInput(const QString& role, const std::string& path)
{
    // Named in full: a recovery of the flash may be run from anywhere.
    RecordInput input{role, QFileInfo(QString::fromStdString(path)).absoluteFilePath(), -1, {}};
    // Opened as the operation opens it: a pipe or a device named by mistake
    // is not read, and never holds the tool.
    const InputFile file(path);
    if (!file.IsOpen())
        return input;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    std::vector<uint8_t> chunk(kHashChunk);
    for (uint64_t offset = 0; offset < file.Size(); offset += chunk.size()) {
        const size_t count = static_cast<size_t>(std::min<uint64_t>(chunk.size(), file.Size() - offset));
        if (!file.ReadAt(offset, chunk.data(), count))
            return input;
        hash.addData(QByteArrayView(chunk.data(), static_cast<qsizetype>(count)));
    }
    input.size = static_cast<qint64>(file.Size());
    input.sha256 = QString::fromLatin1(hash.result().toHex());
    return input;
}

void OperationRecord::TakeNamFiles(ServiceRecord& record, const std::string& nam1, const std::string& nam2)
{
    QStringList nams;
    for (auto [nam, path] : {std::pair{"NAM1", &nam1}, std::pair{"NAM2", &nam2}}) {
        if (path->empty())
            continue;
        nams << nam;
        record.inputs << FileInput(record.operation + " " + nam, *path);
    }
    record.nams = nams.join('+');
}

QByteArray OperationRecord::Snapshot(const NvDoc& doc)
{
    NvDoc::Image image = doc.Snapshot();
    return QByteArray(reinterpret_cast<const char*>(image.data()), qsizetype(image.size()));
}

void OperationRecord::Finish(ServiceRecord& record, const End& end)
{
    TakePort(record);
    TakeIdentity(record, end);
    record.result = end.stopped     ? ServiceRecord::kStopped
        : end.succeeded             ? ServiceRecord::kCompleted
        : Refused(record, end.text) ? ServiceRecord::kRefused
                                    : ServiceRecord::kFailed;
    record.endText = EndText(record, end);
    record.exitStatus = end.exitStatus;
    record.bytesWritten = std::max(record.bytesWritten, BytesWritten(end.messages));
    record.Finish();
}

qint64 OperationRecord::BytesWritten(const std::vector<OperationMessage>& messages)
{
    qint64 bytes = 0;
    for (const OperationMessage& message : messages)
        bytes = std::max(bytes, qint64(message.bytesDone));
    return bytes;
}

// The claim's refusal: "COM3 is busy: corvanetov-cli (pid 4242) is flashing it".
bool OperationRecord::Refused(const ServiceRecord& record, const std::string& text)
{
    const std::string busy = PortResolver::ComName(uint8_t(record.comNumber)) + HandsetClaim::kBusy;
    return record.comNumber && text.rfind(busy, 0) == 0;
}

void OperationRecord::TakePort(ServiceRecord& record)
{
    uint8_t port = Context().SelectedPort();
    record.comNumber = port;
    record.devicePath = port ? Place(port) : QString();
}

bool OperationRecord::ReachesDownloadMode(const OperationMessage& message)
{
    const OperationFamily* family = OperationFamily::Find(message.number);
    return family && family->RoleOf(message.kind) == OperationFamily::Role::Status &&
           (message.text == engine::kStepDownloadMode || message.text == engine::kStepDownloadStart);
}

QString OperationRecord::Place(uint8_t port)
{
    return QString::fromStdString(DownloadModeNotes::SlotOf(port));
}

ServiceRecord OperationRecord::Unfinished(const ServiceRecord& begun, const std::string& identifiedEsn)
{
    ServiceRecord record = begun;
    record.uuid = ServiceRecord::Begin().uuid;
    TakePort(record);
    record.esn = ServiceRecord::FullEsn(QString::fromStdString(identifiedEsn));
    record.result = ServiceRecord::kUnfinished;
    record.endText = kUnfinishedText;
    record.Finish();
    return record;
}

void OperationRecord::NoteIdentity(std::string& identifiedEsn, uint64_t identificationsBefore)
{
    if (Identifications() == identificationsBefore)
        return;
    if (std::string esn = Context().EsnText(); !esn.empty())
        identifiedEsn = std::move(esn);
}

void OperationRecord::TakeIdentity(ServiceRecord& record, const End& end)
{
    const OperationContext& context = Context();
    // An operation that identified nothing (a port that would not open)
    // names no handset, not the one an earlier operation found.
    const bool identified = Identifications() != end.identificationsBefore;
    const std::string esn = identified ? context.EsnText() : std::string();
    const QString found = ServiceRecord::FullEsn(QString::fromStdString(esn.empty() ? end.identifiedEsn : esn));
    if (!record.esn.isEmpty() && record.esn != found)
        return; // a handset the job refused: the record stays its own handset's
    record.esn = found;
    if (!identified)
        return;
    record.phoneNumber = QString::fromStdString(context.PhoneNumberText());
    record.softwareVersion = QString::fromStdString(context.SoftwareVersionText());
    // The identification goes on past the version answer only for this
    // model; of another it keeps no code.
    if (!record.softwareVersion.isEmpty() && end.text != engine::kErrWrongModel)
        record.modelCode = QString::number(nv::kModelCode);
}

void OperationRecord::TakeKeptSettings(ServiceRecord& record, const NvDoc& settings)
{
    record.snapshot = Snapshot(settings);
    record.esn = ServiceRecord::FullEsn(QString::fromStdString(Context().EsnText()));
}

void OperationRecord::TakeFlashEnd(ServiceRecord& record, const std::string& flashEnd)
{
    record.endText = QString::fromStdString(flashEnd);
    record.versionAfter = QString::fromStdString(Context().SoftwareVersionText());
}

// An end text already there is a flash's (TakeFlashEnd), and this end is its
// write-back's.
QString OperationRecord::EndText(const ServiceRecord& record, const End& end)
{
    const QString text = QString::fromStdString(end.text);
    if (record.endText.isEmpty())
        return text;
    return record.endText + (end.succeeded && !end.stopped ? QString(kWrittenBack) : kNotWrittenBack + text);
}

} // namespace corvanetov
