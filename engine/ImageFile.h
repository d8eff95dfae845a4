#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace corvanetov::detail {

// An image file opened for reading, closed when it goes. Every read says
// whether it got all it asked for.
class ImageFile {
public:
    explicit ImageFile(const std::string& path);
    ~ImageFile();
    ImageFile(const ImageFile&) = delete;
    ImageFile& operator=(const ImageFile&) = delete;

    // The size of a regular file small enough for the loader's 32-bit sizes;
    // false for anything else (a folder, a device, a file that did not open).
    bool Size(uint64_t& size) const;
    bool ReadAt(uint64_t offset, uint8_t* into, size_t count) const;
    // The little-endian value at offset; 0 when the file ends before it.
    uint32_t Read32At(uint64_t offset, uint64_t size) const;

private:
    int m_fd;
};

} // namespace corvanetov::detail
