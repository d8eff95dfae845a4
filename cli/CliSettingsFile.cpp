#include "cli/CliSettingsFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <nlohmann/json.hpp>

#include "cli/CliApp.h"
#include "nv/NvDoc.h"
#include "nv/SettingsCatalogue.h"
#include "nv/SettingsFile.h"
#include "platform/FileSave.h"

namespace corvanetov {

namespace {
// A SID edit "K=V": K names the entry (1 to 20); V is checked with the
// other values. Empty when good, else why not.
std::string ParseSid(const std::string& edit, int& index, std::string& value)
{
    size_t equals = edit.find('=');
    std::string key = edit.substr(0, equals);
    if (equals == std::string::npos || key.empty() || key.size() > 2 || key.find_first_not_of("0123456789") != std::string::npos)
        return "--sid takes K=V with whole numbers, for example --sid 3=4139: " + edit;
    index = std::stoi(key);
    value = edit.substr(equals + 1);
    if (index < 1 || index > nv::kNetworkLockEntries)
        return "--sid: K is the SID's number, 1 to 20: " + edit;
    return {};
}
} // namespace

bool CliSettingsFile::Load(const std::string& path, NvDoc& doc)
{
    std::string notice;
    switch (SettingsFile::Read(path, doc, &notice)) {
    case SettingsFile::ReadResult::Ok:
        if (!notice.empty())
            std::cerr << notice << std::endl;
        return true;
    case SettingsFile::ReadResult::InvalidModel:
        std::cerr << nv::kInvalidMmcFile << std::endl << nv::kCannotReadMmcFile << " (" << path << ")" << std::endl;
        break;
    case SettingsFile::ReadResult::CannotOpen:
        std::cerr << nv::kCannotReadMmcFile << " (" << notice << ")" << std::endl;
        break;
    }
    return false;
}

bool CliSettingsFile::CanSave(const std::string& path)
{
    const std::string refusal = FileSave::Refusal(path);
    if (!refusal.empty())
        std::cerr << nv::kFailToWrite << " " << refusal << std::endl;
    return refusal.empty();
}

bool CliSettingsFile::Save(const std::string& path, NvDoc& doc)
{
    if (std::string fault = SettingsCatalogue::PlainStore(SettingsCatalogue::Fill(doc), doc, true); !fault.empty()) {
        std::cerr << fault << std::endl;
        return false;
    }
    doc.WriteU32(nv::kGroupFlagsOffset + 4 * nv::kNamGroup, 1);
    std::string reason;
    if (SettingsFile::Write(path, doc, reason))
        return true;
    std::cerr << nv::kFailToWrite << " " << reason << std::endl;
    return false;
}

int CliSettingsFile::Show(const std::string& path, bool json)
{
    NvDoc doc;
    if (!Load(path, doc))
        return CliApp::kExitUsage;
    Print(doc, json);
    return CliApp::kExitOk;
}

void CliSettingsFile::Print(const NvDoc& doc, bool json)
{
    SettingsValues values = SettingsCatalogue::Fill(doc);
    if (json) {
        nlohmann::json sids = nlohmann::json::array();
        for (const std::string& sid : values.sids)
            sids.push_back(std::stoi(sid));
        nlohmann::json result = {{"lock_code", values.lockCode}, {"uim_lock_code", values.uimLockCode}, {"sids", sids}};
        std::cout << result.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << std::endl;
        return;
    }
    std::printf("%-28s %s\n", SettingsCatalogue::RowName(SettingsCatalogue::kLockCodeRow).c_str(), values.lockCode.c_str());
    std::printf("%-28s %s\n", SettingsCatalogue::RowName(SettingsCatalogue::kUimLockCodeRow).c_str(), values.uimLockCode.c_str());
    for (int k = 0; k < nv::kNetworkLockEntries; ++k)
        std::printf("%-28s %s\n", SettingsCatalogue::RowName(SettingsCatalogue::kFirstSidRow + k).c_str(), values.sids[k].c_str());
}

// The edited values pass the settings view's checks before anything is
// stored, so a refused edit leaves the file as it was.
std::string CliSettingsFile::ApplyEdits(const Edits& edits, NvDoc& doc)
{
    SettingsValues values = SettingsCatalogue::Fill(doc);
    if (edits.lockCode)
        values.lockCode = *edits.lockCode;
    if (edits.uimLockCode)
        values.uimLockCode = *edits.uimLockCode;
    for (const std::string& edit : edits.sids) {
        int index = 0;
        std::string value;
        if (std::string fault = ParseSid(edit, index, value); !fault.empty())
            return fault;
        values.sids[index - 1] = value;
    }
    return SettingsCatalogue::ValidatedStore(values, doc);
}

int CliSettingsFile::Set(const std::string& path, const Edits& edits)
{
    NvDoc doc;
    if (!Load(path, doc) || !CanSave(path))
        return CliApp::kExitUsage;
    if (std::string fault = ApplyEdits(edits, doc); !fault.empty()) {
        std::cerr << fault << std::endl;
        return CliApp::kExitUsage;
    }
    return Save(path, doc) ? CliApp::kExitOk : CliApp::kExitFailed;
}

} // namespace corvanetov
