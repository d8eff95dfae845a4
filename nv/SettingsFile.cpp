#include "nv/SettingsFile.h"

#include <vector>

#include "nv/NvDoc.h"
#include "platform/FileSave.h"
#include "platform/InputFile.h"

namespace corvanetov {

SettingsFile::ReadResult SettingsFile::Read(const std::string& path, NvDoc& doc, std::string* notice)
{
    InputFile file(path);
    std::vector<uint8_t> bytes;
    if (!file.IsOpen() || !file.ReadStart(nv::kImageSize, bytes)) {
        if (notice)
            *notice = file.IsOpen() ? path + ": the file could not be read" : file.Error();
        return ReadResult::CannotOpen;
    }
    doc.Load(bytes.data(), bytes.size());
    uint16_t model = doc.ModelCode();
    if (model == nv::kModelCode || model == nv::kModelCodeAccepted) {
        if (notice)
            *notice = bytes.size() < nv::kImageSize ? ShortFileNotice(path, bytes.size()) : std::string();
        return ReadResult::Ok;
    }
    std::vector<uint8_t> zeros(nv::kImageSize);
    doc.Load(zeros.data(), zeros.size());
    if (notice)
        notice->clear();
    return ReadResult::InvalidModel;
}

std::string SettingsFile::ShortFileNotice(const std::string& path, size_t bytes)
{
    return path + " holds " + std::to_string(bytes) + " of " + std::to_string(nv::kImageSize) +
        " bytes: the rest is kept from before";
}

bool SettingsFile::Write(const std::string& path, const NvDoc& doc, std::string& reason)
{
    const NvDoc::Image image = doc.Snapshot();
    return FileSave::Replace(path, image.data(), image.size(), reason);
}

} // namespace corvanetov
