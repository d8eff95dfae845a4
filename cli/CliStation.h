#pragma once

#include <optional>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace corvanetov {

class CliApp;
class Station;

// corvanetov-cli station JOB [--once] [--ports LIST] [--max N] [--json]
// (--recover for the job recover):
// the job on every handset that appears in the device listing, each in a
// command line of its own, with a live table on a terminal or the jobs'
// JSON lines for a script.
class CliStation {
public:
    explicit CliStation(CliApp& app) : m_app(app) {}

    // Takes the job's words out of the command line, so that the parser
    // sees only the station's and the common options; the words to parse.
    std::vector<std::string> TakeJob(int argc, char** argv);
    void Register(CLI::App& parser);
    // The exit status when the station was asked for.
    std::optional<int> Run();

    // The commands a station can run on every handset.
    static bool IsJob(const std::string& command);

private:
    // The usage error in the job, empty when there is none.
    std::string JobRefusal() const;
    // The questions every child would ask, asked once here: false when
    // the MSL code is needed and not given.
    bool AskOnce(std::optional<std::string>& msl);
    std::vector<std::string> ChildOptions() const;
    int Serve(const std::optional<std::string>& msl);
    int ExitStatus(const Station& station, bool interrupted) const;

    CliApp& m_app;
    CLI::App* m_station = nullptr;
    std::vector<std::string> m_job;
    bool m_once = false;
    std::string m_ports;
    int m_max = 0;
    bool m_portGiven = false;
    bool m_recover = false;
};

} // namespace corvanetov
