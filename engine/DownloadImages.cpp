#include "engine/DownloadImages.h"

#include <algorithm>
#include <cstring>

#include "engine/EngineConstants.h"
#include "engine/ImageFile.h"

namespace corvanetov {

using namespace detail;

bool DownloadImages::LoadCodeImage(const std::string& path)
{
    ImageFile file(path);
    uint64_t size = 0;
    char magic[sizeof engine::kCodeMagic - 1] = {};
    if (!file.Size(size) || size < sizeof magic || !file.ReadAt(0, reinterpret_cast<uint8_t*>(magic), sizeof magic) ||
        std::memcmp(magic, engine::kCodeMagic, sizeof magic) != 0)
        return false;
    codePath = path;
    codeSize = size;
    smallImage = size <= engine::kSmallImageLimit;
    twoPartImage = !smallImage && file.Read32At(engine::kBootPartSizeOffset, size) <= engine::kSmallImageLimit;
    // A file too short to hold a version has none: 0, never the last image's.
    imageVersion = file.Read32At(engine::kImageVersionOffset, size);
    return true;
}

bool DownloadImages::LoadFontImage(const std::string& path)
{
    uint64_t size = 0;
    if (!ImageFile(path).Size(size))
        return false;
    fontPath = path;
    fontSize = size;
    return true;
}

bool DownloadImages::ReadBlock(const std::string& path, uint64_t size, uint64_t offset, uint8_t* block, size_t count)
{
    std::fill(block, block + count, engine::kErasedFlashByte);
    if (offset >= size)
        return true;
    size_t inFile = static_cast<size_t>(std::min<uint64_t>(count, size - offset));
    ImageFile file(path);
    return file.ReadAt(offset, block, inFile);
}

} // namespace corvanetov
