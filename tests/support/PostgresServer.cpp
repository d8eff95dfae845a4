#include "PostgresServer.h"

#include <filesystem>
#include <glob.h>
#include <pwd.h>
#include <unistd.h>

#include "ChildProcess.h"

namespace corvanetov {

namespace fs = std::filesystem;

namespace {
constexpr char kDatabase[] = "corvanetov";
constexpr char kUnprivileged[] = "nobody";
} // namespace

PostgresServer::~PostgresServer()
{
    Stop();
    std::error_code ignored;
    if (!m_folder.empty())
        fs::remove_all(m_folder, ignored);
}

std::string PostgresServer::BinaryFolder()
{
    glob_t found{};
    std::string folder;
    if (::glob("/usr/lib/postgresql/*/bin/pg_ctl", 0, nullptr, &found) == 0 && found.gl_pathc > 0)
        folder = fs::path(found.gl_pathv[found.gl_pathc - 1]).parent_path().string();
    ::globfree(&found);
    return folder;
}

int PostgresServer::AsServerUser(const std::string& command, std::string* output) const
{
    std::string line = "cd " + m_folder + " && " + command;
    std::vector<std::string> argv = {"/bin/sh", "-c", line};
    if (::geteuid() == 0)
        argv = {"/usr/bin/setpriv", "--reuid=" + m_role, "--regid=nogroup", "--clear-groups", "/bin/sh", "-c", line};
    ChildProcess::Result result = ChildProcess::Run(argv, {"LC_ALL=C"}, std::chrono::seconds(60));
    if (output)
        *output = result.out + result.err;
    return result.exitCode;
}

bool PostgresServer::Start(std::string& why)
{
    m_bin = BinaryFolder();
    if (m_bin.empty()) {
        why = "no PostgreSQL server programs in /usr/lib/postgresql/*/bin (Debian's postgresql package)";
        return false;
    }
    char pattern[] = "/tmp/corvanetov-pg-XXXXXX";
    if (!::mkdtemp(pattern)) {
        why = "no temporary folder";
        return false;
    }
    m_folder = pattern;
    m_role = kUnprivileged;
    if (::geteuid() != 0) {
        const passwd* me = ::getpwuid(::geteuid());
        m_role = me ? me->pw_name : "";
    } else if (const passwd* nobody = ::getpwnam(kUnprivileged)) {
        // The folder is the server's alone, as initdb wants it.
        if (::chown(m_folder.c_str(), nobody->pw_uid, nobody->pw_gid) != 0) {
            why = "cannot give " + m_folder + " to nobody";
            return false;
        }
    }
    std::string output;
    if (AsServerUser(m_bin + "/initdb -D data -A trust -U " + m_role + " --no-sync", &output) != 0) {
        why = "initdb failed: " + output;
        return false;
    }
    if (!Restart()) {
        why = "the server did not start: see " + m_folder + "/server.log";
        return false;
    }
    if (AsServerUser(m_bin + "/createdb -h " + m_folder + " -U " + m_role + " " + kDatabase, &output) != 0) {
        why = "createdb failed: " + output;
        return false;
    }
    return true;
}

bool PostgresServer::Restart()
{
    // Unix socket only, in the cluster's folder: nothing of the machine's
    // own server is touched, and no port is taken.
    m_running = AsServerUser(m_bin + "/pg_ctl -D data -l server.log -w -o \"-k " + m_folder +
                             " -c listen_addresses='' -c fsync=off\" start") == 0;
    return m_running;
}

bool PostgresServer::Stop()
{
    if (!m_running)
        return true;
    m_running = AsServerUser(m_bin + "/pg_ctl -D data -w -m fast stop") != 0;
    return !m_running;
}

bool PostgresServer::AddPasswordRole(const std::string& role, const std::string& password, std::string& why)
{
    const std::string rules = "local all " + m_role + " trust\nlocal all all scram-sha-256\n";
    if (AsServerUser("printf '" + rules + "' > data/pg_hba.conf && " + m_bin + "/pg_ctl -D data reload", &why) != 0)
        return false;
    return Psql("CREATE ROLE " + role + " LOGIN PASSWORD '" + password + "'", {}, &why) == 0;
}

std::string PostgresServer::Url(const std::string& role) const
{
    return "postgresql://" + (role.empty() ? m_role : role) + "@/" + kDatabase + "?host=" + m_folder;
}

int PostgresServer::Psql(const std::string& sql, const std::string& role, std::string* output) const
{
    ChildProcess::Result result =
        ChildProcess::Run({m_bin + "/psql", "-X", "-q", "-v", "ON_ERROR_STOP=1", Url(role), "-c", sql}, {"LC_ALL=C"},
                          std::chrono::seconds(60));
    if (output)
        *output = result.out + result.err;
    return result.exitCode;
}

bool PostgresServer::AddInsertOnlyRole(const std::string& role) const
{
    return Psql("CREATE ROLE " + role + " LOGIN; GRANT SELECT ON history_schema TO " + role +
                "; GRANT SELECT, INSERT ON service_records TO " + role) == 0;
}

} // namespace corvanetov
