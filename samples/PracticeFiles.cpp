#include "samples/PracticeFiles.h"

#include <filesystem>
#include <fstream>

#include "nv/NvDoc.h"
#include "nv/SettingsCatalogue.h"
#include "nv/SettingsFile.h"
#include "samples/ImageMaker.h"
#include "samples/PrlListBytes.h"

namespace corvanetov {

namespace {
constexpr char kSoftwareFolder[] = "Models/VQX-B290/Software";
constexpr char kPrlFolder[] = "Models/VQX-B410/PRL";
constexpr char kEriFolder[] = "Models/VQX-B410/ERI";
constexpr char kSettingsFolder[] = "Models/VQX-B410/Settings";

// A two-part image: larger than a one-pass image, so that a download shows
// the boot and main passes, and with the font all three.
constexpr uint64_t kCodeBytes = 0x60000;
constexpr uint64_t kFontBytes = 0x5000;
constexpr size_t kPrlBytes = 4800;
// Cut off: the size at its start no longer matches its length.
constexpr size_t kDamagedPrlBytes = 3000;
constexpr size_t kEriBytes = 2000;

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

bool WriteSettings(const std::string& path)
{
    SettingsValues values;
    values.lockCode = "1234";
    values.uimLockCode = "12345678";
    for (size_t k = 0; k < values.sids.size(); ++k)
        values.sids[k] = std::to_string(k < 3 ? 4139 + k : 0);
    NvDoc doc;
    SettingsCatalogue::PlainStore(values, doc, true);
    std::string reason;
    return SettingsFile::Write(path, doc, reason);
}

bool WriteCode(const std::string& path)
{
    return ImageMaker::WriteCode(path, kCodeBytes, ImageMaker::kBootPartSize, ImageMaker::kVersion);
}

bool WriteFont(const std::string& path)
{
    return ImageMaker::WriteFont(path, kFontBytes);
}

bool WritePrl(const std::string& path)
{
    return WriteBytes(path, PrlListBytes(kPrlBytes));
}

bool WriteDamagedPrl(const std::string& path)
{
    std::vector<uint8_t> cut = PrlListBytes(kPrlBytes);
    cut.resize(kDamagedPrlBytes);
    return WriteBytes(path, cut);
}

bool WriteEri(const std::string& path)
{
    std::vector<uint8_t> bytes(kEriBytes);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i * 7 + 3);
    return WriteBytes(path, bytes);
}
} // namespace

const std::vector<PracticeFiles::File>& PracticeFiles::All()
{
    static const std::vector<File> files = {
        {"B410V01.06.bin", kSoftwareFolder, WriteCode}, {"font.bin", kSoftwareFolder, WriteFont},
        {"home.prl", kPrlFolder, WritePrl},             {"bad.prl", kPrlFolder, WriteDamagedPrl},
        {"icons.bin", kEriFolder, WriteEri},            {"practice.mmc", kSettingsFolder, WriteSettings},
    };
    return files;
}

bool PracticeFiles::WriteAll(const std::string& folder, Layout layout, std::string& failed)
{
    for (const File& file : All()) {
        std::string into = folder;
        if (layout == Layout::ModelFolders) {
            into += std::string("/") + file.modelFolder;
            std::error_code ignored; // a folder that cannot be made fails the write below
            std::filesystem::create_directories(into, ignored);
        }
        const std::string path = into + "/" + file.name;
        if (!file.write(path)) {
            failed = path;
            return false;
        }
    }
    return true;
}

} // namespace corvanetov
