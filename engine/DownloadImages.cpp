#include "engine/DownloadImages.h"

#include <algorithm>
#include <cstring>

#include "diag/DiagConstants.h"
#include "engine/EngineConstants.h"

namespace corvanetov {

namespace {
// The images' sizes are 32-bit values in the loader's requests.
std::shared_ptr<const InputFile> OpenImage(const std::string& path, std::string& refusal)
{
    auto file = std::make_shared<const InputFile>(path);
    refusal = file->Error();
    if (file->IsOpen() && file->Size() > UINT32_MAX)
        refusal = path + " is larger than 4 GiB";
    else if (file->IsOpen() && file->Size() == 0)
        refusal = path + " is empty";
    return refusal.empty() ? file : nullptr;
}

uint32_t Read32At(const InputFile& file, uint64_t offset)
{
    uint8_t bytes[4] = {};
    if (offset + sizeof bytes > file.Size() || !file.ReadAt(offset, bytes, sizeof bytes))
        return 0;
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | bytes[i];
    return value;
}
} // namespace

bool DownloadImages::LoadCodeImage(const std::string& path)
{
    auto file = OpenImage(path, refusal);
    if (!file)
        return false;
    char magic[sizeof engine::kCodeMagic - 1] = {};
    if (file->Size() < sizeof magic || !file->ReadAt(0, reinterpret_cast<uint8_t*>(magic), sizeof magic) ||
        std::memcmp(magic, engine::kCodeMagic, sizeof magic) != 0) {
        refusal = path + " is no software image: it does not start with " + engine::kCodeMagic;
        return false;
    }
    const uint64_t size = file->Size();
    codePath = path;
    codeFile = file;
    codeSize = size;
    smallImage = size <= engine::kSmallImageLimit;
    twoPartImage = !smallImage && Read32At(*file, engine::kBootPartSizeOffset) <= engine::kSmallImageLimit;
    // A file too short to hold a version has none: 0, never the last image's.
    imageVersion = Read32At(*file, engine::kImageVersionOffset);
    return true;
}

bool DownloadImages::LoadFontImage(const std::string& path)
{
    auto file = OpenImage(path, refusal);
    if (!file)
        return false;
    fontPath = path;
    fontFile = file;
    fontSize = file->Size();
    return true;
}

bool DownloadImages::FontRunsPastEnd() const
{
    const uint64_t blocks = (fontSize + diag::kFlashBlockSize - 1) / diag::kFlashBlockSize;
    return fontStartAddress + blocks * diag::kFlashBlockSize > uint64_t(UINT32_MAX) + 1;
}

bool DownloadImages::ReadBlock(const InputFile* file, uint64_t size, uint64_t offset, uint8_t* block, size_t count)
{
    std::fill(block, block + count, engine::kErasedFlashByte);
    if (offset >= size)
        return true;
    size_t inFile = static_cast<size_t>(std::min<uint64_t>(count, size - offset));
    return file && file->ReadAt(offset, block, inFile);
}

} // namespace corvanetov
