#include "samples/ImageMaker.h"

#include <algorithm>
#include <fstream>

#include "engine/EngineConstants.h"

namespace corvanetov {

namespace {
constexpr size_t kChunk = 0x2000;

void Put32(std::vector<uint8_t>& bytes, uint64_t at, uint64_t chunkStart, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        if (at + i >= chunkStart && at + i < chunkStart + bytes.size())
            bytes[at + i - chunkStart] = static_cast<uint8_t>(value >> (8 * i));
}

bool Write(const std::string& path, uint64_t size, bool code, uint32_t bootPartSize, uint32_t version)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::vector<uint8_t> chunk;
    for (uint64_t at = 0; at < size; at += chunk.size()) {
        chunk.resize(static_cast<size_t>(std::min<uint64_t>(kChunk, size - at)));
        for (size_t i = 0; i < chunk.size(); ++i)
            chunk[i] = ImageMaker::ByteAt(at + i);
        if (code) {
            constexpr uint64_t kMagicSize = sizeof engine::kCodeMagic - 1;
            for (uint64_t i = at; i < kMagicSize && i < at + chunk.size(); ++i)
                chunk[i - at] = static_cast<uint8_t>(engine::kCodeMagic[i]);
            Put32(chunk, engine::kBootPartSizeOffset, at, bootPartSize);
            Put32(chunk, engine::kImageVersionOffset, at, version);
        }
        out.write(reinterpret_cast<const char*>(chunk.data()), static_cast<std::streamsize>(chunk.size()));
    }
    return static_cast<bool>(out);
}
} // namespace

uint8_t ImageMaker::ByteAt(uint64_t offset)
{
    // Runs of flags and escapes every few dozen bytes, otherwise a spread.
    uint64_t mixed = offset * 2654435761u;
    return offset % 37 == 5 ? 0x7E : offset % 41 == 7 ? 0x7D : static_cast<uint8_t>(mixed >> 13);
}

bool ImageMaker::WriteCode(const std::string& path, uint64_t size, uint32_t bootPartSize, uint32_t version)
{
    return Write(path, size, true, bootPartSize, version);
}

bool ImageMaker::WriteFont(const std::string& path, uint64_t size)
{
    return Write(path, size, false, 0, 0);
}

std::vector<uint8_t> ImageMaker::Read(const std::string& path, uint64_t offset, size_t count)
{
    std::ifstream in(path, std::ios::binary);
    in.seekg(0, std::ios::end);
    uint64_t size = static_cast<uint64_t>(std::max<std::streamoff>(in.tellg(), 0));
    if (offset >= size)
        return {};
    std::vector<uint8_t> bytes(static_cast<size_t>(std::min<uint64_t>(count, size - offset)));
    in.seekg(static_cast<std::streamoff>(offset));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

} // namespace corvanetov
