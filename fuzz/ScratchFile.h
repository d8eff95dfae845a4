#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace corvanetov {

// A file of the run's own for the readers that take a path: its bytes
// replaced on every Write, removed when the run ends (a crashed run leaves
// it behind). It lives in memory (/dev/shm where there is one) so that a run
// is not slowed by a disk.
class ScratchFile {
public:
    explicit ScratchFile(const std::string& name);
    ~ScratchFile();
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    const std::string& Path() const { return m_path; }
    void Write(const std::vector<uint8_t>& bytes) const;
    void Write(const uint8_t* bytes, size_t count) const;
    // Makes the file size bytes long, zeros after what was written: a large
    // image costs no memory and no time (the folder holds it sparse).
    void Resize(uint64_t size) const;
    std::vector<uint8_t> ReadBack() const;

private:
    std::string m_path;
};

} // namespace corvanetov
