#include "history/ServiceRecord.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QUuid>

#include "nv/NvDoc.h"
#include "nv/SettingsCatalogue.h"

namespace corvanetov {

namespace {
constexpr char kMasked[] = "****";
constexpr qsizetype kEsnDigits = 8;

bool IsEsn(const QString& text)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9A-Fa-f]{1,8}$"));
    return digits.match(text).hasMatch();
}

QString Masked(const std::string& code, bool showSecrets)
{
    return showSecrets || code.empty() ? QString::fromStdString(code) : QString(kMasked);
}
} // namespace

ServiceRecord ServiceRecord::Begin()
{
    ServiceRecord record;
    record.uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    record.started = QDateTime::currentDateTimeUtc();
    return record;
}

void ServiceRecord::Finish()
{
    ended = QDateTime::currentDateTimeUtc();
    durationMs = started.msecsTo(ended);
}

QString ServiceRecord::FullEsn(const QString& esn)
{
    return IsEsn(esn) ? esn.toUpper().rightJustified(kEsnDigits, '0') : esn;
}

QString ServiceRecord::ShortEsn(const QString& esn)
{
    if (!IsEsn(esn))
        return esn;
    QString digits = esn.toUpper();
    while (digits.size() > 1 && digits.startsWith('0'))
        digits.remove(0, 1);
    return digits;
}

QString ServiceRecord::TimeText(const QDateTime& time)
{
    return time.isValid() ? time.toUTC().toString(Qt::ISODateWithMs) : QString();
}

QDateTime ServiceRecord::ParseTime(const QString& text)
{
    return QDateTime::fromString(text, Qt::ISODateWithMs).toUTC();
}

QString ServiceRecord::InputsJson() const
{
    QJsonArray array;
    for (const RecordInput& input : inputs)
        array.append(QJsonObject{{"role", input.role}, {"name", input.name}, {"size", input.size}, {"sha256", input.sha256}});
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

void ServiceRecord::SetInputsJson(const QString& json)
{
    inputs.clear();
    for (const QJsonValue& value : QJsonDocument::fromJson(json.toUtf8()).array()) {
        QJsonObject object = value.toObject();
        inputs.append({object["role"].toString(), object["name"].toString(), object["size"].toInteger(-1),
                       object["sha256"].toString()});
    }
}

QString ServiceRecord::InputsText() const
{
    QStringList parts;
    for (const RecordInput& input : inputs)
        parts << QString("%1 %2 %3 B sha256 %4").arg(input.role, input.name).arg(input.size).arg(input.sha256);
    return parts.join("; ");
}

QString ServiceRecord::SnapshotText(bool showSecrets) const
{
    if (snapshot.isEmpty())
        return {};
    NvDoc doc;
    doc.Load(reinterpret_cast<const uint8_t*>(snapshot.constData()), size_t(snapshot.size()));
    SettingsValues values = SettingsCatalogue::Fill(doc);
    QStringList sids;
    for (const std::string& sid : values.sids)
        sids << QString::fromStdString(sid);
    return QString("lock code %1, UIM lock code %2, SIDs %3")
        .arg(Masked(values.lockCode, showSecrets), Masked(values.uimLockCode, showSecrets), sids.join(' '));
}

QStringList ServiceRecord::FieldNames()
{
    return {"uuid",        "started",      "ended",         "duration_ms", "bench",       "operator",    "front_end",
            "tool_version", "com_number",  "device_path",   "esn",         "model_code",  "software_version",
            "phone_number", "operation",   "nams",          "font_address", "inputs",     "result",      "end_text",
            "exit_status", "bytes_written", "version_after", "snapshot",   "station_run"};
}

QStringList ServiceRecord::FieldValues(bool showSecrets) const
{
    return {uuid,         TimeText(started),  TimeText(ended), QString::number(durationMs), bench, operatorName, frontEnd,
            toolVersion,  comNumber ? QString("COM%1").arg(comNumber) : QString(), devicePath, esn, modelCode,
            softwareVersion, phoneNumber, operation, nams, fontAddress, InputsText(), result, endText,
            QString::number(exitStatus), QString::number(bytesWritten), versionAfter, SnapshotText(showSecrets), stationRun};
}

QJsonObject ServiceRecord::ToJson(bool showSecrets) const
{
    QJsonObject object;
    const QStringList names = FieldNames();
    const QStringList values = FieldValues(showSecrets);
    for (qsizetype i = 0; i < names.size(); ++i)
        object[names[i]] = values[i];
    object["duration_ms"] = durationMs;
    object["com_number"] = comNumber;
    object["exit_status"] = exitStatus;
    object["bytes_written"] = bytesWritten;
    object["inputs"] = QJsonDocument::fromJson(InputsJson().toUtf8()).array();
    return object;
}

} // namespace corvanetov
