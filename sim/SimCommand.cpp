#include "sim/SimCommand.h"

#include <cstdlib>

#include "sim/SimConstants.h"

namespace {
struct Entry {
    int code;
    const char* shortName;
    const char* name;
};

constexpr Entry kEntries[] = {
    {sim::kPseudoAt, "at", "DmSwitchCommand"},
    {sim::kPseudoBoot, "boot", "BootCommand"},
    {sim::kCmdVersion, "version", "VersionRequest"},
    {sim::kCmdStatus, "status", "StatusRequest"},
    {sim::kCmdNvRead, "nvread", "NvReadRequest"},
    {sim::kCmdNvWrite, "nvwrite", "NvWriteRequest"},
    {sim::kCmdModeControl, "mode", "ModeControlRequest"},
    {sim::kCmdDownloadMode, "dload", "DownloadModeRequest"},
    {sim::kCmdSpc, "spc", "SpcRequest"},
    {sim::kCmdDmMode, "dmmode", "DmModeRequest"},
    {sim::kCmdPassword, "password", "PasswordRequest"},
    {sim::kCmdPrlWrite, "prl", "RoamingDataWriteRequest"},
    {sim::kCmdEriWrite, "eri", "RoamingDataWriteRequest"},
    {sim::kFlashStart, "start", "StartRequest"},
    {sim::kFlashCopy, "copy", "CopyRequest"},
    {sim::kFlashJump, "jump", "JumpRequest"},
    {sim::kFlashVersionCheck, "vcheck", "VersionCheckRequest"},
    {sim::kFlashWriteBlock, "block", "WriteBlockRequest"},
    {sim::kFlashErase, "erase", "EraseRequest"},
    {sim::kFlashMode, "flashmode", "ModeRequest"},
};
} // namespace

std::string SimCommand::Name(int code)
{
    for (const Entry& entry : kEntries) {
        if (entry.code == code)
            return entry.name;
    }
    return "Unknown";
}

bool SimCommand::FromText(const std::string& text, int& code)
{
    for (const Entry& entry : kEntries) {
        if (text == entry.shortName) {
            code = entry.code;
            return true;
        }
    }
    if (text.empty())
        return false;
    char* end = nullptr;
    long value = std::strtol(text.c_str(), &end, 0);
    if (*end != '\0' || value < 0 || value > 0xFF)
        return false;
    code = static_cast<int>(value);
    return true;
}

bool SimCommand::ParseCount(const std::string& text, int& code, unsigned& count)
{
    auto colon = text.rfind(':');
    if (colon == std::string::npos || !FromText(text.substr(0, colon), code))
        return false;
    std::string number = text.substr(colon + 1);
    char* end = nullptr;
    long value = std::strtol(number.c_str(), &end, 10);
    if (number.empty() || *end != '\0' || value < 1)
        return false;
    count = static_cast<unsigned>(value);
    return true;
}

std::string SimCommand::ShortNames()
{
    std::string names;
    for (const Entry& entry : kEntries)
        names += (names.empty() ? "" : ", ") + std::string(entry.shortName);
    return names;
}
