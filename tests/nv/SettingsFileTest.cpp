#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "nv/NvDoc.h"
#include "nv/SettingsFile.h"

using namespace corvanetov;

namespace fs = std::filesystem;

namespace {
class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/mmc-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_folder = pattern;
    }
    void TearDown() override
    {
        fs::permissions(m_folder, fs::perms::owner_all);
        fs::remove_all(m_folder);
    }

    std::string Path(const char* name) const { return (m_folder / name).string(); }

    static void Put(const std::string& path, const std::vector<uint8_t>& bytes)
    {
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    static std::vector<uint8_t> Get(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    static std::vector<uint8_t> FileWithModel(size_t size, uint8_t low, uint8_t high)
    {
        std::vector<uint8_t> bytes(size, 0x5A);
        bytes[35] = low;
        bytes[36] = high;
        return bytes;
    }

    fs::path m_folder;
};
} // namespace

TEST_F(SettingsFileTest, SavedFileIsTheImageAndReadsBackIdentical)
{
    NvDoc doc;
    doc.StampModelCode();
    doc.WriteU16(nv::kSidOffset, 4242);
    std::string reason;
    ASSERT_TRUE(SettingsFile::Write(Path("a.mmc"), doc, reason)) << reason;
    std::vector<uint8_t> bytes = Get(Path("a.mmc"));
    ASSERT_EQ(bytes.size(), 59994u);

    NvDoc back;
    EXPECT_EQ(SettingsFile::Read(Path("a.mmc"), back), SettingsFile::ReadResult::Ok);
    EXPECT_EQ(back.Snapshot(), doc.Snapshot());
    EXPECT_EQ(std::distance(fs::directory_iterator(m_folder), fs::directory_iterator()), 1); // no temporary left
}

TEST_F(SettingsFileTest, ModelCodeDecidesAndShortOrLongFilesReplaceOnlyTheirBytes)
{
    using R = SettingsFile::ReadResult;
    struct Case {
        const char* what;
        std::vector<uint8_t> file;
        uint16_t oldModel;
        R result;
        uint8_t firstByte; // of the image afterwards
        uint8_t lastByte;
    } cases[] = {
        {"model 147", FileWithModel(59994, 0x93, 0x00), 0, R::Ok, 0x5A, 0x5A},
        {"model 100", FileWithModel(59994, 0x64, 0x00), 0, R::Ok, 0x5A, 0x5A},
        {"big-endian 147", FileWithModel(59994, 0x00, 0x93), 147, R::InvalidModel, 0, 0},
        {"short, old model kept", std::vector<uint8_t>(20, 0x11), 147, R::Ok, 0x11, 0xEE},
        {"short, old model bad", std::vector<uint8_t>(20, 0x11), 5, R::InvalidModel, 0, 0},
        {"longer than an image", FileWithModel(70000, 0x93, 0x00), 0, R::Ok, 0x5A, 0x5A},
        {"empty", {}, 100, R::Ok, 0xEE, 0xEE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        NvDoc doc;
        std::vector<uint8_t> old(nv::kImageSize, 0xEE);
        doc.Load(old.data(), old.size());
        doc.WriteU16(nv::kModelCodeOffset, c.oldModel);
        Put(Path("f.mmc"), c.file);
        EXPECT_EQ(SettingsFile::Read(Path("f.mmc"), doc), c.result);
        NvDoc::Image image = doc.Snapshot();
        EXPECT_EQ(image.front(), c.firstByte);
        EXPECT_EQ(image.back(), c.lastByte);
    }
}

TEST_F(SettingsFileTest, UnreadablePathsLeaveTheImageAlone)
{
    ASSERT_EQ(::mkfifo(Path("pipe").c_str(), 0600), 0);
    for (const std::string& path : {Path("missing.mmc"), m_folder.string(), Path("pipe")}) {
        SCOPED_TRACE(path);
        NvDoc doc;
        doc.WriteU16(nv::kSidOffset, 9);
        EXPECT_EQ(SettingsFile::Read(path, doc), SettingsFile::ReadResult::CannotOpen);
        EXPECT_EQ(doc.ReadU16(nv::kSidOffset), 9);
    }
}

TEST_F(SettingsFileTest, FailedSaveKeepsTheOldFileByteForByte)
{
    Put(Path("keep.mmc"), FileWithModel(59994, 0x93, 0x00));
    const std::vector<uint8_t> before = Get(Path("keep.mmc"));
    NvDoc doc;
    std::string reason;

    // A disk that fills up halfway through the image, whoever runs the test.
    rlimit old {};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 4096;
    auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    ::setrlimit(RLIMIT_FSIZE, &small);
    bool written = SettingsFile::Write(Path("keep.mmc"), doc, reason);
    ::setrlimit(RLIMIT_FSIZE, &old);
    ::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(written);
    EXPECT_FALSE(reason.empty());

    // A folder that cannot be written (root may write anyway).
    if (::geteuid() != 0) {
        fs::permissions(m_folder, fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_FALSE(SettingsFile::Write(Path("keep.mmc"), doc, reason));
        fs::permissions(m_folder, fs::perms::owner_all);
    }
    EXPECT_EQ(Get(Path("keep.mmc")), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(m_folder), fs::directory_iterator()), 1);
}

TEST_F(SettingsFileTest, SaveThroughALinkReplacesTheLinkedFileWithItsMode)
{
    Put(Path("real.mmc"), FileWithModel(100, 0x93, 0x00));
    ::chmod(Path("real.mmc").c_str(), 0640);
    fs::create_symlink(Path("real.mmc"), Path("link.mmc"));
    NvDoc doc;
    std::string reason;
    ASSERT_TRUE(SettingsFile::Write(Path("link.mmc"), doc, reason)) << reason;
    EXPECT_TRUE(fs::is_symlink(Path("link.mmc")));
    EXPECT_EQ(Get(Path("real.mmc")).size(), 59994u);
    EXPECT_EQ(fs::status(Path("real.mmc")).permissions() & fs::perms::all, fs::perms(0640));
}
