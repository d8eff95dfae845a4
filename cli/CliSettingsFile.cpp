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
// A SID edit "K=V": K names the entry (1 to 20), V its new value. Empty when
// good, else why not.
std::string ParseSid(const std::string& edit, int& index, long& value)
{
    size_t equals = edit.find('=');
    std::string key = edit.substr(0, equals);
    std::string number = equals == std::string::npos ? "" : edit.substr(equals + 1);
    auto digitsOnly = [](const std::string& text) {
        return !text.empty() && text.size() <= 6 && text.find_first_not_of("0123456789") == std::string::npos;
    };
    if (!digitsOnly(key) || !digitsOnly(number))
        return "--sid takes K=V with whole numbers, for example --sid 3=4139: " + edit;
    index = std::stoi(key);
    value = std::stol(number);
    if (index < 1 || index > nv::kNetworkLockEntries)
        return "--sid: K is the SID's number, 1 to 20: " + edit;
    if (!SettingsCatalogue::SidInRange(value))
        return "--sid: a SID is 0 to 32767: " + edit;
    return {};
}

std::string CheckCodeLength(const char* option, const std::string& code)
{
    if (code.size() > nv::kLockCodeSize)
        return std::string(option) + " takes at most 8 digits";
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
    SettingsCatalogue::PlainStore(SettingsCatalogue::Fill(doc), doc, true);
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

// Every edit is checked before anything is stored, so a refused edit leaves
// the file as it was.
std::string CliSettingsFile::ApplyEdits(const Edits& edits, NvDoc& doc)
{
    SettingsValues values = SettingsCatalogue::Fill(doc);
    if (edits.lockCode) {
        if (std::string fault = CheckCodeLength("--lock-code", *edits.lockCode); !fault.empty())
            return fault;
        if (std::string fault = SettingsCatalogue::CheckLockCode(*edits.lockCode); !fault.empty())
            return fault;
        values.lockCode = *edits.lockCode;
    }
    if (edits.uimLockCode) {
        if (std::string fault = CheckCodeLength("--uim-lock-code", *edits.uimLockCode); !fault.empty())
            return fault;
        if (std::string fault = SettingsCatalogue::CheckUimLockCode(*edits.uimLockCode); !fault.empty())
            return fault;
        values.uimLockCode = *edits.uimLockCode;
    }
    for (const std::string& edit : edits.sids) {
        int index = 0;
        long value = 0;
        if (std::string fault = ParseSid(edit, index, value); !fault.empty())
            return fault;
        values.sids[index - 1] = std::to_string(value);
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
