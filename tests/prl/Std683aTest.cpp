#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <vector>

#include "prl/Std683a.h"

using namespace corvanetov;

namespace fs = std::filesystem;

namespace {
// A list of size bytes whose first two bytes give its size, behind lead
// extra bytes.
std::vector<uint8_t> List(size_t size, size_t lead = 0, size_t declared = 0)
{
    std::vector<uint8_t> bytes(lead + size);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = uint8_t(i * 7);
    declared = declared ? declared : size;
    if (size >= 2) {
        bytes[lead] = uint8_t(declared >> 8);
        bytes[lead + 1] = uint8_t(declared);
    }
    return bytes;
}

class Std683aTest : public ::testing::Test {
protected:
    void SetUp() override { m_folder = fs::temp_directory_path() / ("std683a-" + std::to_string(::getpid())); fs::create_directories(m_folder); }
    void TearDown() override { fs::remove_all(m_folder); }
    std::string Put(const std::vector<uint8_t>& bytes)
    {
        std::string path = (m_folder / "f.prl").string();
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return path;
    }
    fs::path m_folder;
    Std683a m_files;
};
} // namespace

TEST_F(Std683aTest, PrlFilesAreTakenByTheirSizeFieldWithOrWithoutThreeLeadingBytes)
{
    struct Case {
        const char* what;
        std::vector<uint8_t> file;
        const char* message; // "" when taken; %s stands for the path
        uint32_t size;
        size_t lead;
    } cases[] = {
        {"1000 bytes, size 0x03E8", List(1000), "", 1000, 0},
        {"three leading bytes", List(1000, 3), "", 1000, 3},
        {"a full slot behind three bytes", List(8192, 3), "", 8192, 3},
        {"4 bytes", List(4), "", 4, 0},
        {"3 bytes", std::vector<uint8_t>(3, 1), " Invalid Prl file : %s\n Please Check prl_file !", 0, 0},
        {"empty", {}, " Invalid Prl file : %s\n Please Check prl_file !", 0, 0},
        {"wrong size field", List(1000, 0, 999), " %s is not a standard 683A-PRL file\n Please Check prl_file !", 0, 0},
        {"4 bytes, wrong field", List(4, 0, 9), " %s is not a standard 683A-PRL file\n Please Check prl_file !", 0, 0},
        {"larger than a slot", List(8193), " %s is too large\n Please Check prl_file !", 0, 0},
        {"far larger than a slot", List(60000), " %s is too large\n Please Check prl_file !", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string path = Put(c.file);
        std::string expected = c.message;
        if (size_t at = expected.find("%s"); at != std::string::npos)
            expected.replace(at, 2, path);
        EXPECT_EQ(m_files.ReadPrlFile(path, 1), expected.empty());
        EXPECT_EQ(m_files.Message(), expected);
        if (!expected.empty())
            continue;
        ASSERT_EQ(m_files.Size(1), c.size);
        std::vector<uint8_t> held(c.size);
        ASSERT_TRUE(m_files.CopyBytes(held.data(), 1, 0, c.size));
        EXPECT_TRUE(std::equal(held.begin(), held.end(), c.file.begin() + long(c.lead)));
    }
}

TEST_F(Std683aTest, EriFilesOfAnyLengthFromOneByteUpToASlotAreTaken)
{
    for (size_t size : {size_t(1), size_t(3), size_t(8192)}) {
        SCOPED_TRACE(size);
        EXPECT_TRUE(m_files.ReadEriFile(Put(std::vector<uint8_t>(size, 0x42)), 0));
        EXPECT_EQ(m_files.Size(0), size);
    }
    std::string large = Put(std::vector<uint8_t>(8193));
    EXPECT_FALSE(m_files.ReadEriFile(large, 0));
    EXPECT_EQ(m_files.Message(), " " + large + " is too large\n Please Check eri_file !");
    EXPECT_EQ(m_files.Size(0), 8192u); // a refused file leaves the slot as it was
    // An empty file would be "programmed" without a single piece sent.
    std::string empty = Put({});
    EXPECT_FALSE(m_files.ReadEriFile(empty, 0));
    EXPECT_EQ(m_files.Message(), " " + empty + " is empty\n Please Check eri_file !");
    EXPECT_EQ(m_files.Size(0), 8192u);
}

TEST_F(Std683aTest, UnreadablePathsAndSlotsAreRefused)
{
    std::string fifo = (m_folder / "pipe").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string missing = (m_folder / "missing.prl").string();
    const std::pair<std::string, std::string> unreadable[] = {
        {missing, missing + ": No such file or directory"},
        {m_folder.string(), m_folder.string() + " is not a regular file"},
        {fifo, fifo + " is not a regular file"},
        {"/dev/null", "/dev/null is not a regular file"},
    };
    for (const auto& [path, reason] : unreadable) {
        EXPECT_FALSE(m_files.ReadPrlFile(path, 0));
        EXPECT_EQ(m_files.Message(), " Fail to read from " + path + "\n " + reason + "\n Please Check prl_file !");
        EXPECT_FALSE(m_files.ReadEriFile(path, 0));
        EXPECT_EQ(m_files.Message(), " Fail to read from " + path + "\n " + reason + "\n Please Check eri_file !");
    }
    EXPECT_FALSE(m_files.ReadPrlFile(Put(List(10)), 2));
    EXPECT_FALSE(m_files.ReadPrlFile(Put(List(10)), -1));
}

TEST_F(Std683aTest, CopiesStayInsideTheSlotsBytes)
{
    ASSERT_TRUE(m_files.ReadPrlFile(Put(List(250)), 0));
    uint8_t piece[120] = {};
    EXPECT_TRUE(m_files.CopyBytes(piece, 0, 240, 10));
    EXPECT_EQ(piece[0], uint8_t(240 * 7));
    EXPECT_FALSE(m_files.CopyBytes(piece, 0, 240, 11));
    EXPECT_FALSE(m_files.CopyBytes(piece, 0, SIZE_MAX, 2));
    EXPECT_FALSE(m_files.CopyBytes(piece, 1, 0, 1));
    m_files.SetPieceCount(0, 3);
    m_files.SetPieceCount(5, 9);
    EXPECT_EQ(m_files.PieceCount(0), 3u);
    EXPECT_EQ(m_files.PieceCount(5), 0u);
}
