#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace corvanetov {

// A file the user named, opened for reading. Only a regular file opens, and
// opening never waits: a named pipe or a device given by mistake is refused
// at once instead of holding the tool where no stop reaches it. Everything
// is read through the one descriptor that was checked, so a file put in the
// name's place meanwhile is never mixed into what was read.
class InputFile {
public:
    explicit InputFile(const std::string& path);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    bool IsOpen() const { return m_fd >= 0; }
    // Why the file did not open, as the user reads it; empty when it did.
    const std::string& Error() const { return m_error; }
    const std::string& Path() const { return m_path; }
    // The size when it was opened.
    uint64_t Size() const { return m_size; }
    // count bytes from offset on; false when the file holds fewer.
    bool ReadAt(uint64_t offset, uint8_t* into, size_t count) const;
    // The file's first bytes, at most limit of them; false on a read error.
    bool ReadStart(size_t limit, std::vector<uint8_t>& bytes) const;

private:
    bool Open();

    std::string m_path;
    std::string m_error;
    int m_fd = -1;
    uint64_t m_size = 0;
};

} // namespace corvanetov
