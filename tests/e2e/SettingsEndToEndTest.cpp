#include <cstdio>
#include <filesystem>
#include <regex>
#include <fstream>
#include <nlohmann/json.hpp>
#include <vector>

#include "E2eFixture.h"
#include "EngineAgainstHandset.h"
#include "samples/PrlListBytes.h"
#include "diag/DiagConstants.h"
#include "engine/NamTransfer.h"
#include "engine/OperationRecorder.h"
#include "nv/NVList.h"

using namespace corvanetov;

namespace {
const std::vector<std::string> kSettingValues = {"--lock-code", "1357", "--uim-lock-code", "24682468", "--sids", "4101,22,31000"};
const char kReadJson[] =
    R"({"lock_code":"1357","sids":[4101,22,31000,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0],"uim_lock_code":"24682468"})"
    "\n";
const char kResetRequest[] = "\"mode\":2";


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
    std::vector<uint8_t> image = FileBytes(file);
    ASSERT_EQ(image.size(), 59994u);
    EXPECT_EQ(image[35], 147);                               // stamped as this tool saves
    EXPECT_EQ(image[0], 1);                                  // the group's values are present
    EXPECT_EQ(std::string(image.begin() + 39, image.begin() + 48), std::string("\x05" "24680\0\0\0", 9));
    EXPECT_EQ(image[59825 + 4 * 19] | image[59826 + 4 * 19] << 8, 32767);
    EXPECT_EQ(image[59825], 0);

    const std::vector<uint8_t> good = FileBytes(file);
    struct Refused {
        std::vector<std::string> edit;
        const char* message;
    } refused[] = {
        {{"--sid", "3=32768"}, "HOME SID for Network Lock 3 takes a whole number from 0 to 32767; \"32768\": out of range"},
        {{"--sid", "3=12ab"}, "HOME SID for Network Lock 3 takes a whole number from 0 to 32767; \"12ab\": not a whole number"},
        {{"--sid", "21=5"}, "1 to 20"},
        {{"--sid", "x"}, "K=V"},
        {{"--lock-code", "12a4"}, "Only input Number! check again! "},
        {{"--lock-code", "123"}, "Enter Lock Code(more than 4 digits)"},
        {{"--uim-lock-code", "12 4"}, "Don't use Blank character in UIM Lock-code"},
        {{"--lock-code", "123456789"}, "Lock Code takes 4 to 8 digits; \"123456789\": 9 characters"},
    };
    for (const Refused& r : refused) {
        std::vector<std::string> arguments = {"settings", "set", file};
        arguments.insert(arguments.end(), r.edit.begin(), r.edit.end());
        auto result = Cli(arguments);
        EXPECT_EQ(result.exitCode, 2) << r.edit[1];
        EXPECT_NE(result.err.find(r.message), std::string::npos) << result.err;
        EXPECT_EQ(FileBytes(file), good) << r.edit[1];
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
    EXPECT_EQ(invalid.exitCode, 2);
    EXPECT_NE(invalid.err.find("Invalid MMC File !\nCannot read mmc file!"), std::string::npos) << invalid.err;
    auto missing = Cli({"settings", "set", m_folder + "/none.mmc", "--sid", "1=1"});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_NE(missing.err.find("Cannot read mmc file!"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(m_folder + "/none.mmc"));
}

TEST_F(E2eFixture, CliReadsWritesAndReadsBackTheHandsetsSettings)
{
    StartHandset(kSettingValues);
    const std::string file = m_folder + "/read.mmc";
    auto read = Cli({"--json", "settings", "read", file});
    ASSERT_EQ(read.exitCode, 0) << read.err;
    EXPECT_EQ(read.out, kReadJson);
    std::vector<uint8_t> image = FileBytes(file);
    ASSERT_EQ(image.size(), 59994u);
    EXPECT_EQ(image[35], 147) << "stored as the settings view stores it before a save";
    EXPECT_EQ(image[0], 1);
    EXPECT_EQ(std::string(image.begin() + 39, image.begin() + 44), "\x04" "1357");

    auto set = Cli({"settings", "set", file, "--lock-code", "246801", "--uim-lock-code", "9999", "--sid", "2=12345"});
    ASSERT_EQ(set.exitCode, 0) << set.err;
    auto write = Cli({"settings", "write", file});
    ASSERT_EQ(write.exitCode, 0) << write.err;
    EXPECT_NE(write.out.find("Lock Code                    246801\n"), std::string::npos) << "what was written" << write.out;
    EXPECT_TRUE(EndsWith(write.err, "Completed Writing To Phone\n")) << write.err;
    EXPECT_NE(write.err.find("Writing Nam\n"), std::string::npos) << "the steps' names on standard error";

    nlohmann::json state = nlohmann::json::parse(HandsetState());
    EXPECT_EQ(state["nv"]["82"], "06323436383031") << "the count byte, then the digits, nothing of the old code";
    EXPECT_EQ(state["nv"]["2071"], "39393939");
    EXPECT_EQ(state["lock_code"], "246801");
    EXPECT_EQ(state["sids"][1], 12345);
    EXPECT_EQ(state["sids"][2], 31000);

    auto back = Cli({"--json", "settings", "read", m_folder + "/back.mmc"});
    ASSERT_EQ(back.exitCode, 0) << back.err;
    EXPECT_EQ(back.out, R"({"lock_code":"246801","sids":[4101,12345,31000,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0],"uim_lock_code":"9999"})"
                        "\n");
}

TEST_F(E2eFixture, CliFailedTransfersResetTheHandsetAndKeepTheFile)
{
    // The identification reads item 2045 first: the fourth read is item 2073.
    StartHandset(With(kSettingValues, {"--drop-from", "nvread:4"}));
    const std::string file = m_folder + "/kept.mmc";
    PutOldFile(file);
    const std::vector<uint8_t> before = FileBytes(file);
    auto read = Cli({"settings", "read", file});
    EXPECT_EQ(read.exitCode, 1);
    EXPECT_TRUE(EndsWith(read.err, "\nError in reading NAM\n")) << read.err;
    EXPECT_EQ(FileBytes(file), before) << "a failed read replaces nothing";
    EXPECT_TRUE(AwaitRequests("ModeControlRequest", 2, kResetRequest)) << "the handset is reset";
    auto fresh = Cli({"settings", "read", m_folder + "/new.mmc"});
    EXPECT_EQ(fresh.exitCode, 1);
    EXPECT_FALSE(std::filesystem::exists(m_folder + "/new.mmc"));
    m_handset.Stop();

    std::filesystem::remove(m_folder + "/sim.log");
    StartHandset(With(kSettingValues, {"--drop", "mode:3"}));
    std::vector<uint8_t> letter = before;
    letter[43] = 'x';
    const std::string refused = m_folder + "/letter.mmc";
    std::ofstream(refused, std::ios::binary).write(reinterpret_cast<const char*>(letter.data()), std::streamsize(letter.size()));
    auto invalid = Cli({"settings", "write", refused});
    EXPECT_EQ(invalid.exitCode, 2);
    EXPECT_TRUE(EndsWith(invalid.err, "Only input Number! check again! \n")) << invalid.err;
    EXPECT_EQ(Requests("DmSwitchCommand"), 0u) << "the codes are checked before the handset is touched";

    auto write = Cli({"settings", "write", file});
    EXPECT_EQ(write.exitCode, 1);
    EXPECT_TRUE(EndsWith(write.err, "\nError in changing mode to OFFLINE\n")) << write.err;
    EXPECT_TRUE(AwaitRequests("ModeControlRequest", 1, kResetRequest));
    EXPECT_EQ(Requests("ModeControlRequest", kResetRequest), 1u) << "exactly one reset request";
    EXPECT_EQ(Requests("NvWriteRequest"), 0u);
}

TEST_F(EngineAgainstHandset, ReadThatStopsAnsweringAfterItem2071KeepsTheItemsBeforeIt)
{
    Attach(With(kSettingValues, {"--drop-from", "nvread:4"}));
    OperationRecorder recorder(OperationRecorder::OnEnd::Continue);
    OperationContext::Instance().SetTarget(&recorder);
    NVList list;
    for (uint16_t item : {82, 2071, 2073})
        list.Add(item, 0);
    NamTransfer::NamReadWorker({3, &list, nullptr, 0});
    OperationContext::Instance().SetTarget(nullptr);

    EXPECT_FALSE(recorder.Succeeded());
    EXPECT_EQ(recorder.EndText(), "Error in reading NAM");
    uint8_t lock[9];
    doc.Read(39, lock, sizeof lock);
    EXPECT_EQ(std::string(lock, lock + 9), std::string("\x04" "1357\0\0\0\0", 9));
    uint8_t uim[8];
    doc.Read(59816, uim, sizeof uim);
    EXPECT_EQ(std::string(uim, uim + 8), "24682468");
    EXPECT_EQ(doc.ReadU16(59825), 0) << "item 2073 never came";
    EXPECT_EQ(Requests("NvReadRequest"), 1u + 2 + 4) << "the identification's, two items, then 2073 and its three resends";
    EXPECT_TRUE(AwaitRequests("ModeControlRequest", 2, kResetRequest)) << "the handset is reset";
}

namespace {
// A secret's bytes in every form a trace or a log could show them in: as
// text, as hexadecimal bytes ("%x " and "%02x " alike for these), run
// together in either case, and as decimal bytes apart or in a JSON list.
// Every run of `window` bytes counts: half a code is a leak too. Without
// `asText`, the text itself is not looked for.
std::vector<std::string> Forms(const std::string& secret, size_t window, bool asText)
{
    std::vector<std::string> forms;
    for (size_t at = 0; at + window <= secret.size(); ++at) {
        const std::string part = secret.substr(at, window);
        std::string spaced, joined, upper, decimal, listed;
        for (unsigned char byte : part) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "%x", byte);
            spaced += std::string(hex) + " ";
            joined += hex;
            std::snprintf(hex, sizeof hex, "%X", byte);
            upper += hex;
            decimal += std::to_string(byte) + " ";
            listed += std::to_string(byte) + ",";
        }
        forms.insert(forms.end(), {spaced, joined, upper, decimal, listed});
        if (asText)
            forms.push_back(part);
    }
    return forms;
}

// A file's text; of the handset's log, without the times of its lines,
// whose digits would match anything.
std::string TextWithoutTimes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    static const std::regex times(R"("t":[0-9.e+-]+|"time":"[^"]*")");
    return std::regex_replace(std::string(std::istreambuf_iterator<char>(in), {}), times, "");
}
} // namespace

// Identification, a settings read, settings writes and PRL programming
// (unlocked by the password and by the MSL code), traced by --trace and by
// CORVANETOV_TRACE: no trace and no line of the handset's log holds a lock
// code, a UIM lock code or the MSL code, in any form, nor the password as
// bytes (it is the handset's model name, which its answers and its device
// name show as text, so it counts only whole). The traces still show the
// requests and which NV items they carry.
TEST_F(E2eFixture, TracesAndTheHandsetsLogHoldNoSecret)
{
    const std::string lockCode = "73914682", uimCode = "58206471", newLock = "94027318", newUim = "61839250";
    const std::string msl = "405918";
    const std::string password(std::begin(diag::kPassword), std::end(diag::kPassword));
    StartHandset({"--lock-code", lockCode, "--uim-lock-code", uimCode, "--msl", msl, "--roaming-dir", m_folder});
    const std::string file = m_folder + "/codes.mmc";
    const std::string prl = m_folder + "/a.prl";
    const std::vector<uint8_t> list = PrlListBytes(250);
    std::ofstream(prl, std::ios::binary).write(reinterpret_cast<const char*>(list.data()), std::streamsize(list.size()));
    const std::vector<std::vector<std::string>> runs = {
        {"info"},
        {"settings", "read", file},
        {"settings", "write", file},
        {"--tool-type", "1", "--msl", msl, "settings", "write", file},
        {"prl", "--nam1", prl},
        {"--tool-type", "1", "--msl", msl, "prl", "--nam1", prl},
    };
    std::vector<std::string> traces;
    for (size_t run = 0; run < runs.size(); ++run) {
        if (run == 2) {
            auto set = Cli({"settings", "set", file, "--lock-code", newLock, "--uim-lock-code", newUim});
            ASSERT_EQ(0, set.exitCode) << set.err;
        }
        const std::string byOption = m_folder + "/option" + std::to_string(run) + ".trace";
        const std::string byVariable = m_folder + "/variable" + std::to_string(run) + ".trace";
        std::vector<std::string> argv = {CORVANETOV_CLI_PATH, "--trace", byOption};
        argv.insert(argv.end(), runs[run].begin(), runs[run].end());
        auto traced = ChildProcess::Run(argv, Environment());
        ASSERT_EQ(0, traced.exitCode) << run << ": " << traced.err;
        std::vector<std::string> environment = Environment();
        environment.push_back("CORVANETOV_TRACE=" + byVariable);
        argv.erase(argv.begin() + 1, argv.begin() + 3);
        auto again = ChildProcess::Run(argv, environment);
        ASSERT_EQ(0, again.exitCode) << run << ": " << again.err;
        traces.insert(traces.end(), {byOption, byVariable});
    }
    m_handset.Stop();
    traces.push_back(m_folder + "/sim.log");

    struct Secret {
        std::string bytes;
        size_t window;
        bool asText;
    };
    const Secret secrets[] = {{lockCode, 4, true}, {uimCode, 4, true}, {newLock, 4, true},
                              {newUim, 4, true},   {msl, 4, true},     {password, password.size(), false}};
    for (const auto& [secret, window, asText] : secrets) {
        for (const std::string& path : traces) {
            const std::string text = TextWithoutTimes(path);
            ASSERT_FALSE(text.empty()) << path;
            for (const std::string& form : Forms(secret, window, asText))
                EXPECT_EQ(std::string::npos, text.find(form)) << "\"" << form << "\" of " << secret << " in " << path;
        }
    }
    const std::string write = TextWithoutTimes(m_folder + "/option2.trace");
    EXPECT_NE(std::string::npos, write.find("\nTX : 27 52 0 ** ")) << "the lock code's item, masked after its number";
    EXPECT_NE(std::string::npos, write.find("\nTX : 27 17 8 ** ")) << "the UIM lock code's item";
    EXPECT_NE(std::string::npos, TextWithoutTimes(m_folder + "/option1.trace").find("\nRX : 26 52 0 ** ")) << "an answer, masked alike";
    EXPECT_NE(std::string::npos, TextWithoutTimes(m_folder + "/option4.trace").find("\nTX : 46 ** ")) << "the password";
    EXPECT_NE(std::string::npos, TextWithoutTimes(m_folder + "/option5.trace").find("\nTX : 41 ** ")) << "the MSL code";
}
