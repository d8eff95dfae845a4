#include "cli/CliRecover.h"

#include <CLI/CLI.hpp>
#include <QSysInfo>
#include <iostream>
#include <nlohmann/json.hpp>

#include "cli/CliApp.h"
#include "cli/CliFlash.h"
#include "comm/DownloadModeNotes.h"
#include "engine/DownloadOption.h"
#include "engine/EngineConstants.h"
#include "engine/OperationContext.h"
#include "engine/PhoneInfoRead.h"
#include "history/HistoryStore.h"
#include "history/OperationRecord.h"
#include "nv/NvDoc.h"

namespace corvanetov {

namespace {
constexpr char kCommand[] = "recover";
constexpr char kFlashOperation[] = "flash option ";

// A handset in download mode runs only the flash loader, which leaves the
// identification's requests unanswered: the port opened, and the status
// request went unanswered.
bool AnswersInDownloadMode()
{
    return Context().ErrorText().rfind(engine::kErrStatus, 0) == 0;
}

// The EMERGENCY option that writes what the flash wrote.
int EmergencyOption(bool code, bool font)
{
    for (int option = engine::kDownloadOptions / 2; option < engine::kDownloadOptions; ++option) {
        const DownloadOption each = *DownloadOption::Of(option);
        if (each.code == code && each.font == font)
            return option;
    }
    return -1;
}
} // namespace

void CliRecover::Register(CLI::App& parser)
{
    m_recover = parser.add_subcommand(kCommand, "flash a handset left in download mode with the images of its unfinished "
                                                "flash again (EMERGENCY); a handset that answers normally is not touched");
}

std::optional<int> CliRecover::Run()
{
    if (!m_recover || !m_recover->parsed())
        return std::nullopt;
    return Recover();
}

int CliRecover::Recover()
{
    NvDoc doc;
    ServiceRecord record = CliApp::BeginRecord(kCommand);
    // Identifying is all a handset gets before the choice.
    const int status = m_app.RunOnHandset("Identifying the handset to recover", doc, &PhoneInfoRead::Run);
    if (status == CliApp::kExitOk) {
        m_app.Retell(kNotTouched);
        m_app.Keep(record, status);
        return Tell("completed", kNotTouched, status);
    }
    if (status != CliApp::kExitFailed || !AnswersInDownloadMode())
        return m_app.Keep(record, status);
    QString why;
    std::optional<ServiceRecord> flash = UnfinishedFlash(why);
    if (flash) {
        why = ImagesNotThere(*flash);
        if (why.isEmpty())
            return Reflash(*flash);
        why = kImagesNeeded + why;
    }
    m_app.Refuse(why.toStdString());
    return Tell("failed", why.toStdString(), m_app.Keep(record, CliApp::kExitFailed));
}

std::optional<ServiceRecord> CliRecover::UnfinishedFlash(QString& why) const
{
    // A record kept while the store was held waits in the outbox.
    HistoryKeeper(m_app.History().Location()).Sync();
    HistoryStore store(m_app.History().Location());
    if (!store.Open()) {
        why = store.Error();
        return std::nullopt;
    }
    // Newest first, each flash's records together (they share its start):
    // the newest flash with an unfinished record reached download mode, and
    // never completed unless its group holds a completed record. A slot's
    // name is the same on every bench, and the handset noted as waiting
    // there is the one its flashes are of.
    const std::string slot = DownloadModeNotes::SlotOf(Context().SelectedPort());
    const QString waiting = ServiceRecord::FullEsn(QString::fromStdString(DownloadModeNotes::Instance().Find(slot).value_or("")));
    HistoryFilter filter;
    filter.devicePath = QString::fromStdString(slot);
    filter.bench = QSysInfo::machineHostName();
    filter.everyUnfinished = true;
    std::optional<ServiceRecord> found;
    bool completed = false;
    const bool read = store.Query(filter, [&](const ServiceRecord& each) {
        const bool anotherHandset = !waiting.isEmpty() && !each.esn.isEmpty() && each.esn != waiting;
        if (!each.operation.startsWith(kFlashOperation) || anotherHandset)
            return true;
        if (found && found->started != each.started)
            return false;
        completed = each.result == ServiceRecord::kCompleted;
        if (each.result == ServiceRecord::kUnfinished)
            found = each;
        return !completed;
    });
    if (completed)
        found.reset();
    if (!read)
        why = store.Error();
    else if (!found)
        why = kNoRecord;
    return found;
}

QString CliRecover::ImagesNotThere(const ServiceRecord& flash)
{
    if (flash.inputs.isEmpty())
        return QString("its record (%1) names no image").arg(flash.uuid);
    QStringList missing;
    for (const RecordInput& input : flash.inputs) {
        const RecordInput now = OperationRecord::FileInput(input.role, input.name.toStdString());
        if (now.size != input.size || now.sha256 != input.sha256)
            missing << QString("%1 %2 sha256 %3 is %4").arg(input.role, input.name, input.sha256,
                                                            now.size < 0 ? "not there" : "not that file now");
    }
    return missing.join("; ");
}

int CliRecover::Reflash(const ServiceRecord& flash)
{
    std::string code;
    std::string font;
    for (const RecordInput& input : flash.inputs)
        (input.role == "font" ? font : code) = input.name.toStdString();
    std::optional<uint32_t> fontAddress;
    bool hex = false;
    if (const uint32_t address = flash.fontAddress.toUInt(&hex, 16); hex)
        fontAddress = address;
    return m_flash.Emergency(EmergencyOption(!code.empty(), !font.empty()), code, font, fontAddress);
}

// The row a station shows: the result line under --json, the text on
// standard error (a station takes a failed job's last line there as why).
int CliRecover::Tell(const char* outcome, const std::string& text, int status)
{
    if (m_app.Json())
        std::cout << nlohmann::json{{"result", outcome}, {"text", text}, {"esn", Context().EsnText()}}.dump() << std::endl;
    if (status == CliApp::kExitOk && !m_app.Json())
        std::cout << text << std::endl;
    return status;
}

} // namespace corvanetov
