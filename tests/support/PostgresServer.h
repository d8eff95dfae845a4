#pragma once

#include <string>

namespace corvanetov {

// A private PostgreSQL cluster for one test program: made with initdb in a
// folder of its own, served on a Unix socket there (no TCP), run as the
// user running the tests, or as nobody when that is root (the server
// refuses root), and stopped and removed at the end.
class PostgresServer {
public:
    PostgresServer() = default;
    ~PostgresServer();
    PostgresServer(const PostgresServer&) = delete;
    PostgresServer& operator=(const PostgresServer&) = delete;

    // The folder of the server's programs, empty when none is installed.
    static std::string BinaryFolder();
    // Makes the cluster and a database, and starts it; false with why.
    bool Start(std::string& why);
    bool Stop();
    // Starts it again on the same cluster, as a server that comes back.
    bool Restart();
    bool Running() const { return m_running; }

    // The database's URL, as a user for the given role would write it.
    std::string Url(const std::string& role = {}) const;
    const std::string& Role() const { return m_role; }
    // Runs SQL with psql as the given role (the owner when empty), stopping
    // at the first error; the exit code, with what psql said.
    int Psql(const std::string& sql, const std::string& role = {}, std::string* output = nullptr) const;
    // A bench's role as the user guide makes it: it may read and add
    // records, and change or remove nothing.
    bool AddInsertOnlyRole(const std::string& role) const;

    // A role that logs in with this password: from then on every role but
    // the owner must give its password, as on a shop's server.
    bool AddPasswordRole(const std::string& role, const std::string& password, std::string& why);

private:
    // Runs a command line in the server's folder as its user; the exit code.
    int AsServerUser(const std::string& command, std::string* output = nullptr) const;

    std::string m_bin;
    std::string m_folder;
    std::string m_role;
    bool m_running = false;
};

} // namespace corvanetov
