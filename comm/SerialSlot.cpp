#include "comm/SerialSlot.h"

#include <cstdlib>
#include <filesystem>

namespace corvanetov {

namespace fs = std::filesystem;

namespace {
constexpr char kByPathFolder[] = "/dev/serial/by-path";
constexpr char kByPathVariable[] = "CORVANETOV_SERIAL_BY_PATH";
} // namespace

std::string SerialSlot::Folder()
{
    const char* folder = std::getenv(kByPathVariable);
    return folder && *folder ? folder : kByPathFolder;
}

std::map<std::string, std::string> SerialSlot::Links()
{
    std::map<std::string, std::string> links;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(Folder(), error)) {
        const fs::path device = fs::canonical(entry.path(), error);
        if (!error)
            links.emplace(device.string(), entry.path().string());
    }
    return links;
}

std::string SerialSlot::Of(const std::string& device)
{
    std::error_code error;
    const fs::path canonical = fs::canonical(device, error);
    if (error)
        return {};
    const auto links = Links();
    const auto found = links.find(canonical.string());
    return found == links.end() ? std::string() : found->second;
}

bool SerialSlot::IsSlot(const std::string& path)
{
    std::error_code error;
    const fs::path folder = fs::weakly_canonical(fs::absolute(path, error).parent_path(), error);
    return !error && folder == fs::weakly_canonical(Folder(), error);
}

} // namespace corvanetov
