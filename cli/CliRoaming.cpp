#include "cli/CliRoaming.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>

#include "cli/CliApp.h"
#include "engine/EngineConstants.h"
#include "engine/RoamingProgram.h"
#include "nv/NvDoc.h"
#include "prl/Std683a.h"

namespace corvanetov {

struct CliRoaming::Kind {
    const char* name;
    const char* programming; // as the port announcement says it
    const char* fileHelp;
    const char* completed;
    void (*worker)(RoamingProgramRequest request);
    bool (Std683a::*read)(const std::string& path, int slot);
};

namespace {
const char kProgramHelp[] = "write %s into NAM1 (--nam1), NAM2 (--nam2) or both";
const char kCheckHelp[] = "read and check %s as the programming does, and print its size and pieces (no handset)";

std::string Format(const char* format, const char* what)
{
    char text[160];
    std::snprintf(text, sizeof text, format, what);
    return text;
}
} // namespace

CliRoaming::CliRoaming(CliApp& cli) : m_cli(cli) {}

void CliRoaming::Register(CLI::App& app)
{
    static const Kind kinds[] = {
        {"prl", "Programming the PRL", "a preferred roaming list (IS-683-A, *.prl)", engine::kCompletedPrl,
         &RoamingProgram::PrlProgramWorker, &Std683a::ReadPrlFile},
        {"eri", "Programming the ERI file", "an ERI file (*.bin)", engine::kCompletedEri, &RoamingProgram::EriProgramWorker,
         &Std683a::ReadEriFile},
    };
    for (size_t i = 0; i < m_commands.size(); ++i) {
        Command& command = m_commands[i];
        command.kind = &kinds[i];
        command.program = app.add_subcommand(kinds[i].name, Format(kProgramHelp, kinds[i].fileHelp));
        command.program->require_subcommand(0, 1);
        command.program->add_option("--nam1", command.nam1, "file for NAM1")->type_name("FILE");
        command.program->add_option("--nam2", command.nam2, "file for NAM2")->type_name("FILE");
        command.check = command.program->add_subcommand("check", Format(kCheckHelp, kinds[i].fileHelp));
        command.check->add_option("FILE", command.checked, "the file")->required();
    }
}

std::optional<int> CliRoaming::Run()
{
    for (const Command& command : m_commands) {
        bool namsGiven = !command.nam1.empty() || !command.nam2.empty();
        if (command.check->parsed() && namsGiven) {
            std::cerr << command.kind->name << " check takes a file and no NAM" << std::endl;
            return CliApp::kExitUsage;
        }
        if (command.check->parsed())
            return Check(command);
        if (command.program->parsed() && !namsGiven) {
            std::cerr << command.kind->name << ": give --nam1 FILE, --nam2 FILE or both" << std::endl;
            return CliApp::kExitUsage;
        }
        if (command.program->parsed())
            return Program(command);
    }
    return std::nullopt;
}

int CliRoaming::Program(const Command& command)
{
    for (int nam = 0; nam < Std683a::kSlots; ++nam) {
        const std::string& path = nam == 0 ? command.nam1 : command.nam2;
        if (!path.empty() && !Readable(command, path))
            return CliApp::kExitUsage;
    }
    RoamingProgramRequest request;
    request.nams = command.nam1.empty()   ? RoamingProgramRequest::kNam2Only
        : command.nam2.empty()            ? RoamingProgramRequest::kNam1Only
                                          : RoamingProgramRequest::kBoth;
    request.path1 = command.nam1;
    request.path2 = command.nam2;
    ServiceRecord record = CliApp::BeginRecord(command.kind->name);
    OperationRecord::TakeNamFiles(record, command.nam1, command.nam2);
    NvDoc doc;
    auto worker = command.kind->worker;
    int status = m_cli.Keep(record, m_cli.RunOnHandset(command.kind->programming, doc, [worker, request] { worker(request); }));
    if (status != CliApp::kExitOk)
        return status;
    // In text the end report has said it on standard error already.
    if (m_cli.Json())
        std::cout << nlohmann::json{{"result", command.kind->completed}, {"nam1", command.nam1}, {"nam2", command.nam2}}.dump()
                  << std::endl;
    return CliApp::kExitOk;
}

std::unique_ptr<Std683a> CliRoaming::Readable(const Command& command, const std::string& path)
{
    auto files = std::make_unique<Std683a>(); // the operation's own slots stay as they are
    if (((*files).*command.kind->read)(path, 0))
        return files;
    std::cerr << files->Message() << std::endl;
    return nullptr;
}

int CliRoaming::Check(const Command& command) const
{
    auto files = Readable(command, command.checked);
    if (!files)
        return CliApp::kExitUsage;
    uint32_t size = files->Size(0);
    uint32_t pieces = RoamingProgram::PieceCount(size);
    if (m_cli.Json())
        std::cout << nlohmann::json{{"file", command.checked}, {"size", size}, {"pieces", pieces}}.dump() << std::endl;
    else
        std::printf("%s: %u bytes, %u pieces\n", command.checked.c_str(), size, pieces);
    return CliApp::kExitOk;
}

} // namespace corvanetov
