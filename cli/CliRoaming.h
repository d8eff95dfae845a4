#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>

namespace CLI {
class App;
}

namespace corvanetov {
class CliApp;
class Std683a;

// "prl" and "eri": program a roaming list or an ERI file into NAM1, NAM2 or
// both (the NAMs given choose), or check a file as the programming would
// read it, without a handset.
class CliRoaming {
public:
    explicit CliRoaming(CliApp& cli);
    void Register(CLI::App& app);
    // The exit status of the command given; nothing when it was neither.
    std::optional<int> Run();

private:
    struct Kind;
    struct Command {
        const Kind* kind = nullptr;
        CLI::App* program = nullptr;
        CLI::App* check = nullptr;
        std::string nam1;
        std::string nam2;
        std::string checked;
    };

    int Program(const Command& command);
    int Check(const Command& command) const;
    // The file read and checked into a reader of its own, or nothing after
    // the reader's message: every file is checked before the handset is touched.
    static std::unique_ptr<Std683a> Readable(const Command& command, const std::string& path);

    CliApp& m_cli;
    std::array<Command, 2> m_commands;
};

} // namespace corvanetov
