#include <filesystem>
#include <fstream>
#include <vector>

#include "E2eFixture.h"

namespace {
std::vector<uint8_t> Bytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// A settings file as an older tool saved it: model code 100, count byte 0.
void PutOldFile(const std::string& path)
{
    std::vector<uint8_t> image(59994);
    image[35] = 100;
    for (int i = 0; i < 4; ++i) {
        image[40 + i] = uint8_t('1' + i);
        image[59816 + i] = uint8_t('5' + i);
    }
    image[59825] = 0x2B; // SID 1 = 4139
    image[59826] = 0x10;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(image.data()), std::streamsize(image.size()));
}
} // namespace

TEST_F(E2eFixture, CliSettingsShowAndSetEditAFileUnderTheWriteRules)
{
    const std::string file = m_folder + "/handset.mmc";
    PutOldFile(file);
    auto shown = Cli({"settings", "show", file, "--json"});
    ASSERT_EQ(shown.exitCode, 0) << shown.err;
    EXPECT_EQ(shown.out, "{\"lock_code\":\"1234\",\"sids\":[4139,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0],\"uim_lock_code\":\"5678\"}\n");

    auto set = Cli({"settings", "set", file, "--lock-code", "24680", "--sid", "20=32767", "--sid", "1=0"});
    ASSERT_EQ(set.exitCode, 0) << set.err;
    std::vector<uint8_t> image = Bytes(file);
    ASSERT_EQ(image.size(), 59994u);
    EXPECT_EQ(image[35], 147);                               // stamped as this tool saves
    EXPECT_EQ(image[0], 1);                                  // the group's values are present
    EXPECT_EQ(std::string(image.begin() + 39, image.begin() + 48), std::string("\x05" "24680\0\0\0", 9));
    EXPECT_EQ(image[59825 + 4 * 19] | image[59826 + 4 * 19] << 8, 32767);
    EXPECT_EQ(image[59825], 0);

    const std::vector<uint8_t> good = Bytes(file);
    struct Refused {
        std::vector<std::string> edit;
        const char* message;
    } refused[] = {
        {{"--sid", "3=32768"}, "a SID is 0 to 32767"},
        {{"--sid", "21=5"}, "1 to 20"},
        {{"--sid", "x"}, "K=V"},
        {{"--lock-code", "12a4"}, "Only input Number! check again! "},
        {{"--lock-code", "123"}, "Enter Lock Code(more than 4 digits)"},
        {{"--uim-lock-code", "12 4"}, "Don't use Blank character in UIM Lock-code"},
        {{"--lock-code", "123456789"}, "at most 8 digits"},
    };
    for (const Refused& r : refused) {
        std::vector<std::string> arguments = {"settings", "set", file};
        arguments.insert(arguments.end(), r.edit.begin(), r.edit.end());
        auto result = Cli(arguments);
        EXPECT_EQ(result.exitCode, 2) << r.edit[1];
        EXPECT_NE(result.err.find(r.message), std::string::npos) << result.err;
        EXPECT_EQ(Bytes(file), good) << r.edit[1];
    }
}

TEST_F(E2eFixture, CliSettingsRefusesFilesItCannotRead)
{
    std::vector<uint8_t> foreign(59994);
    foreign[35] = 0x00;
    foreign[36] = 0x93;
    const std::string file = m_folder + "/foreign.mmc";
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(foreign.data()), std::streamsize(foreign.size()));

    auto invalid = Cli({"settings", "show", file});
    EXPECT_EQ(invalid.exitCode, 1);
    EXPECT_NE(invalid.err.find("Invalid MMC File !\nCannot read mmc file!"), std::string::npos) << invalid.err;
    auto missing = Cli({"settings", "set", m_folder + "/none.mmc", "--sid", "1=1"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("Cannot read mmc file!"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(m_folder + "/none.mmc"));
}
