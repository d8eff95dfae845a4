#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "nv/NvConstants.h"

namespace corvanetov {

// The one in-memory record of the handset's settings and identity: the
// settings image (byte for byte a settings file) and the phone-information
// texts. Created at module load, reached through the operation context.
//
// A worker writes its fields while the views may still be drawing, so every
// access goes through the document's lock; ranges are checked so that a
// wrong offset fails instead of writing past the image.
class NvDoc {
public:
    using Image = std::array<uint8_t, nv::kImageSize>;

    // The phone-information texts, in member order.
    enum Text : int {
        kEsn = 0,
        kSoftwareVersion = 1,
        kHardwareVersion = 2,
        kPhoneNumber = 10,
    };

    NvDoc();
    NvDoc(const NvDoc&) = delete;
    NvDoc& operator=(const NvDoc&) = delete;
    virtual ~NvDoc();

    // Copies count bytes at offset out of or into the image; false (and
    // nothing copied) when the range does not lie inside the image.
    bool Read(size_t offset, uint8_t* destination, size_t count) const;
    bool Write(size_t offset, const uint8_t* source, size_t count);
    // Little-endian words; 0 / false outside the image.
    uint16_t ReadU16(size_t offset) const;
    uint32_t ReadU32(size_t offset) const;
    bool WriteU16(size_t offset, uint16_t value);
    bool WriteU32(size_t offset, uint32_t value);

    // The whole image, for settings files and the grid.
    Image Snapshot() const;
    // Overwrites the image from its start with as many bytes as given (at
    // most the image's size); the rest keeps its values. Returns the count
    // taken.
    size_t Load(const uint8_t* bytes, size_t count);

    uint16_t ModelCode() const { return ReadU16(nv::kModelCodeOffset); }
    void StampModelCode() { WriteU16(nv::kModelCodeOffset, nv::kModelCode); }

    // Texts by number 0 to 12; an unknown number reads empty and stores nothing.
    std::string GetText(int which) const;
    void SetText(int which, const std::string& text);

private:
    static bool InImage(size_t offset, size_t count);

    mutable std::mutex m_mutex;
    Image m_image{};
    std::array<std::string, nv::kPhoneTextCount> m_texts;
};

} // namespace corvanetov
