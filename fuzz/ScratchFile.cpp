#include "ScratchFile.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace corvanetov {

namespace {
// The folder scripts/fuzz gives the run (and removes, with what a crashed
// run left), else memory, else the temporary folder.
std::string ScratchFolder()
{
    const char* given = std::getenv("CORVANETOV_FUZZ_SCRATCH");
    if (given && *given)
        return given;
    struct stat info {};
    if (::stat("/dev/shm", &info) == 0 && S_ISDIR(info.st_mode) && ::access("/dev/shm", W_OK) == 0)
        return "/dev/shm";
    const char* tmp = std::getenv("TMPDIR");
    return tmp && *tmp ? tmp : "/tmp";
}
} // namespace

ScratchFile::ScratchFile(const std::string& name)
    : m_path(ScratchFolder() + "/corvanetov-fuzz-" + std::to_string(::getpid()) + "-" + name)
{
}

ScratchFile::~ScratchFile()
{
    std::remove(m_path.c_str());
}

void ScratchFile::Write(const std::vector<uint8_t>& bytes) const
{
    Write(bytes.data(), bytes.size());
}

void ScratchFile::Write(const uint8_t* bytes, size_t count) const
{
    std::ofstream out(m_path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(count));
    if (!out.flush()) {
        std::perror(m_path.c_str());
        std::abort(); // a run that cannot write its input tests nothing
    }
}

void ScratchFile::Resize(uint64_t size) const
{
    if (::truncate(m_path.c_str(), static_cast<off_t>(size)) != 0) {
        std::perror(m_path.c_str());
        std::abort();
    }
}

std::vector<uint8_t> ScratchFile::ReadBack() const
{
    std::ifstream in(m_path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace corvanetov
