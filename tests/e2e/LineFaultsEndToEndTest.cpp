// The tool against a handset whose answers reach it in pieces, as a USB
// serial adapter delivers them: each operation must come through whole.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "E2eFixture.h"
#include "samples/ImageMaker.h"

using namespace corvanetov;

namespace {
constexpr uint64_t kCodeSize = 0x9000;

struct LineFault {
    const char* name;
    std::vector<std::string> options;
};

const LineFault kLineFaults[] = {
    {"closing flag alone", {"--lone-flag"}},
    {"random small chunks", {"--chunks", "7"}},
};

void PrintTo(const LineFault& fault, std::ostream* out)
{
    *out << fault.name;
}

enum class Operation { Identify, NamRead, Flash };
const Operation kOperations[] = {Operation::Identify, Operation::NamRead, Operation::Flash};

const char* Name(Operation operation);

void PrintTo(Operation operation, std::ostream* out)
{
    *out << Name(operation);
}

const char* Name(Operation operation)
{
    switch (operation) {
    case Operation::Identify: return "identify";
    case Operation::NamRead: return "NAM read";
    case Operation::Flash: return "flash";
    }
    return "";
}
} // namespace

class LineFaultEndToEnd : public E2eFixture, public ::testing::WithParamInterface<std::tuple<LineFault, Operation>> {};

TEST_P(LineFaultEndToEnd, OperationComesThroughWhole)
{
    const auto& [fault, operation] = GetParam();
    std::vector<std::string> options = fault.options;
    const std::string code = m_folder + "/code.bin";
    const std::string flashed = m_folder + "/flash.out";
    options.insert(options.end(), {"--flash-out", flashed});
    StartHandset(options);

    ChildProcess::Result result;
    switch (operation) {
    case Operation::Identify:
        result = Cli({"--json", "info"});
        EXPECT_NE(std::string::npos, result.out.find(R"("esn":)")) << result.out;
        break;
    case Operation::NamRead:
        result = Cli({"settings", "read", m_folder + "/read.mmc"});
        EXPECT_EQ(59994u, std::filesystem::exists(m_folder + "/read.mmc") ? std::filesystem::file_size(m_folder + "/read.mmc") : 0);
        break;
    case Operation::Flash:
        ASSERT_TRUE(ImageMaker::WriteCode(code, kCodeSize, ImageMaker::kBootPartSize, ImageMaker::kVersion));
        result = Cli({"flash", "--option", "0", "--code", code});
        break;
    }
    ASSERT_EQ(0, result.exitCode) << result.err;
    if (operation == Operation::Flash) {
        m_handset.Stop();
        std::vector<uint8_t> image = ImageMaker::Read(code);
        std::vector<uint8_t> written = ImageMaker::Read(flashed);
        ASSERT_GE(written.size(), image.size());
        EXPECT_TRUE(std::equal(image.begin(), image.end(), written.begin()));
    }
}

INSTANTIATE_TEST_SUITE_P(FaultsAndOperations, LineFaultEndToEnd,
                         ::testing::Combine(::testing::ValuesIn(kLineFaults), ::testing::ValuesIn(kOperations)),
                         [](const auto& info) {
                             std::string name = std::string(std::get<0>(info.param).name) + " " + Name(std::get<1>(info.param));
                             for (char& c : name)
                                 c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name;
                         });
