#pragma once

#include <functional>
#include <optional>
#include <string>

#include "history/HistoryFilter.h"

namespace CLI {
class App;
}

namespace corvanetov {

class CliApp;
class HistoryStore;
struct ServiceRecord;

// corvanetov-cli history: list, show, export and send the service records,
// say where they are kept, and undo a settings write from its snapshot.
class CliHistory {
public:
    explicit CliHistory(CliApp& app) : m_app(app) {}

    void Register(CLI::App& app);
    // The exit status when a history command was given.
    std::optional<int> Run();

private:
    int List();
    int Show();
    int Export();
    int Sync();
    int Where();
    int Undo();
    // Opens the store in use; false after saying why.
    bool Open(HistoryStore& store) const;
    std::optional<HistoryFilter> Filter() const;
    // Runs work on the opened store with the options' filter; the exit status.
    int OnFiltered(const std::function<int(HistoryStore&, const HistoryFilter&)>& work) const;
    void PrintTable(HistoryStore& store, const HistoryFilter& filter, bool& ok) const;

    CliApp& m_app;
    CLI::App* m_history = nullptr;
    CLI::App* m_show = nullptr;
    CLI::App* m_export = nullptr;
    CLI::App* m_sync = nullptr;
    CLI::App* m_where = nullptr;
    CLI::App* m_undo = nullptr;
    std::string m_esn, m_since, m_until, m_operation, m_bench, m_id, m_csv;
    bool m_failed = false;
    bool m_showSecrets = false;
    int m_limit = 0;
};

} // namespace corvanetov
