#include <gtest/gtest.h>
#include <filesystem>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "TempFolder.h"

using namespace corvanetov;

namespace {

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

struct Program {
    const char* path;
    const char* name;
};

const Program kPrograms[] = {
    {CORVANETOV_HOST_PATH, "corvanetov"},
    {CORVANETOV_CLI_PATH, "corvanetov-cli"},
    {VQXB410_SIM_PATH, "vqxb410-sim"},
};

} // namespace

TEST(ProgramsTest, EachTellsItsVersionAndHelpAndRefusesAWrongCommandLine)
{
    for (const Program& program : kPrograms) {
        SCOPED_TRACE(program.name);
        const auto version = ChildProcess::Run({program.path, "--version"});
        EXPECT_EQ(version.exitCode, 0) << version.err;
        const std::string firstLine = version.out.substr(0, version.out.find('\n'));
        EXPECT_EQ(firstLine, std::string(program.name) + " " + CORVANETOV_VERSION);

        const auto help = ChildProcess::Run({program.path, "--help"});
        EXPECT_EQ(help.exitCode, 0) << help.err;
        EXPECT_TRUE(Contains(help.out, "Usage")) << help.out;
        EXPECT_TRUE(Contains(help.out, "--version")) << help.out;

        const auto wrong = ChildProcess::Run({program.path, "--no-such-option"});
        EXPECT_EQ(wrong.exitCode, 2);
        EXPECT_TRUE(wrong.out.empty()) << wrong.out;
        EXPECT_FALSE(wrong.err.empty());
    }
}

#ifdef CORVANETOV_SAMPLES_PATH
// Its one argument is a folder to write into: --help and an unknown option
// are none (it once wrote --help/B410V01.06.bin).
TEST(ProgramsTest, SamplesTakeNoOptionForTheirFolder)
{
    TempFolder folder;
    for (const std::string option : {"--help", "--no-such-option"}) {
        SCOPED_TRACE(option);
        const auto run = ChildProcess::Run({"/bin/sh", "-c", "cd \"$1\" && exec \"$2\" \"$3\"", "sh", folder.Path(),
                                            CORVANETOV_SAMPLES_PATH, option});
        EXPECT_EQ(run.exitCode, option == "--help" ? 0 : 2) << run.err;
        EXPECT_TRUE(Contains(option == "--help" ? run.out : run.err, "usage")) << run.out << run.err;
        EXPECT_FALSE(std::filesystem::exists(folder.Path() + "/" + option));
    }
}
#endif

TEST(ProgramsTest, HostNamesItsPluginFolderAndFindsThePlugin)
{
    const auto help = ChildProcess::Run({CORVANETOV_HOST_PATH, "--help"});
    EXPECT_TRUE(Contains(help.out, "CORVANETOV_PLUGIN_DIR")) << help.out;

    // From the build tree, the build tree's plug-in, as found beside the host.
    const auto listed = ChildProcess::Run({CORVANETOV_HOST_PATH, "--list-plugins"}, {"CORVANETOV_PLUGIN_DIR="});
    EXPECT_EQ(listed.exitCode, 0) << listed.err;
    EXPECT_EQ(listed.out, std::string(CORVANETOV_MODULE_FILE) + ": VQX-B410, 3 view(s)\n");

    // Another folder, by the environment and by the option that wins over it.
    TempFolder empty;
    for (const std::vector<std::string>& environment :
         {std::vector<std::string>{"CORVANETOV_PLUGIN_DIR=" + empty.Path()}, std::vector<std::string>{}}) {
        std::vector<std::string> argv = {CORVANETOV_HOST_PATH, "--list-plugins"};
        if (environment.empty())
            argv.insert(argv.end(), {"--plugin-dir", empty.Path()});
        const auto none = ChildProcess::Run(argv, environment);
        EXPECT_EQ(none.exitCode, 1);
        EXPECT_EQ(none.out, "");
        EXPECT_EQ(none.err, "No plug-ins in " + empty.Path() + "\n");
    }
    const auto version = ChildProcess::Run({CORVANETOV_HOST_PATH, "--version"}, {"CORVANETOV_PLUGIN_DIR=" + empty.Path()});
    EXPECT_TRUE(Contains(version.out, "Plug-in folder: " + empty.Path() + "\n")) << version.out;

    // A plug-in the host cannot load is told with the loader's reason.
    const std::string broken = empty.File("libbroken.so");
    FILE* file = std::fopen(broken.c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fputs("not a library", file);
    std::fclose(file);
    const auto refused = ChildProcess::Run({CORVANETOV_HOST_PATH, "--list-plugins", "--plugin-dir", empty.Path(),
                                            "--plugin", CORVANETOV_MODULE_FILE});
    EXPECT_EQ(refused.exitCode, 0);
    EXPECT_TRUE(Contains(refused.out, broken + ": ")) << refused.out;
    EXPECT_TRUE(Contains(refused.out, std::string(CORVANETOV_MODULE_FILE) + ": VQX-B410")) << refused.out;
}
