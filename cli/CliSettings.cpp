#include "cli/CliSettings.h"

#include <CLI/CLI.hpp>
#include <iostream>

#include "cli/CliApp.h"
#include "engine/NamTransfer.h"
#include "engine/OperationContext.h"
#include "nv/NVList.h"
#include "nv/NvDoc.h"
#include "nv/SettingsCatalogue.h"

namespace corvanetov {

void CliSettings::Register(CLI::App& app)
{
    auto* settings = app.add_subcommand("settings", "lock code, UIM lock code and network-lock SIDs: the handset and settings files (*.mmc)");
    settings->require_subcommand(1);
    m_show = settings->add_subcommand("show", "print the settings a file holds");
    m_set = settings->add_subcommand("set", "edit a settings file under the rules of a write to the handset");
    m_read = settings->add_subcommand("read", "read the settings from the handset into a settings file");
    m_write = settings->add_subcommand("write", "write a settings file's settings to the handset");
    for (CLI::App* command : {m_show, m_set, m_read, m_write})
        command->add_option("FILE", m_path, "settings file")->required();
    m_set->add_option("--lock-code", m_edits.lockCode, "new lock code, 4 to 8 digits");
    m_set->add_option("--uim-lock-code", m_edits.uimLockCode, "new UIM lock code, 4 to 8 digits");
    m_set->add_option("--sid", m_edits.sids, "K=V: network-lock home SID K (1-20) becomes V (0-32767); repeatable");
}

std::optional<int> CliSettings::Run()
{
    if (m_show->parsed())
        return CliSettingsFile::Show(m_path, m_app.Json());
    if (m_set->parsed())
        return CliSettingsFile::Set(m_path, m_edits);
    if (m_read->parsed())
        return Read();
    if (m_write->parsed())
        return Write();
    return std::nullopt;
}

// The file is written only after a complete read: a failed or stopped read
// leaves an existing file as it was.
int CliSettings::Read()
{
    if (!CliSettingsFile::CanSave(m_path))
        return CliApp::kExitUsage;
    NvDoc doc;
    ServiceRecord record = CliApp::BeginRecord("settings read");
    int status = m_app.Keep(record, ReadHandset(m_app, "Reading settings", doc));
    if (status != CliApp::kExitOk)
        return status;
    if (!CliSettingsFile::Save(m_path, doc))
        return CliApp::kExitFailed;
    CliSettingsFile::Print(doc, m_app.Json());
    return CliApp::kExitOk;
}

// The file's values pass the same store as the settings view's grid before
// a write, with its messages.
int CliSettings::Write()
{
    NvDoc doc;
    if (!CliSettingsFile::Load(m_path, doc))
        return CliApp::kExitUsage;
    if (std::string fault = SettingsCatalogue::ValidatedStore(SettingsCatalogue::Fill(doc), doc); !fault.empty()) {
        std::cerr << fault << std::endl;
        return CliApp::kExitUsage;
    }
    ServiceRecord record = CliApp::BeginRecord("settings write");
    record.inputs << OperationRecord::FileInput("settings", m_path);
    int status = m_app.Keep(record, WriteKeepingSnapshot(m_app, doc, record));
    if (status == CliApp::kExitOk)
        CliSettingsFile::Print(doc, m_app.Json());
    return status;
}

int CliSettings::ReadHandset(CliApp& app, const std::string& what, NvDoc& doc)
{
    NVList list;
    NamTransferRequest request{SettingsCatalogue::QueueNamItems(list), &list, nullptr, 0};
    return app.RunOnHandset(what, doc, [request] { NamTransfer::NamReadWorker(request); });
}

// The settings the write replaces are read first, so that the record can
// undo it; when they cannot be read, nothing is written.
int CliSettings::WriteKeepingSnapshot(CliApp& app, NvDoc& doc, ServiceRecord& record, const QString& esn)
{
    NvDoc before;
    if (int status = ReadHandset(app, "Reading the settings to keep for undo", before); status != CliApp::kExitOk)
        return status;
    OperationRecord::TakeKeptSettings(record, before);
    // Records of older tools name the ESN without its leading zeros.
    const QString found = ServiceRecord::FullEsn(QString::fromStdString(Context().EsnText()));
    if (!esn.isEmpty() && found != ServiceRecord::FullEsn(esn)) {
        app.Refuse("The handset's ESN is " + found.toStdString() + ", the record's " + esn.toStdString() +
                   ": nothing was written.");
        return CliApp::kExitUsage;
    }
    NVList list;
    // Only into the handset whose settings the snapshot keeps.
    NamTransferRequest request{SettingsCatalogue::QueueNamItems(list), nullptr, &list, 0, Context().EsnText()};
    return app.RunOnHandset("Writing settings", doc, [request] { NamTransfer::NamWriteWorker(request); });
}

} // namespace corvanetov
