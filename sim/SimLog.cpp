#include "sim/SimLog.h"

#include <ctime>
#include <unistd.h>

#include "platform/FileSave.h"

#include "sim/SimCommand.h"

namespace {
std::string WallClock()
{
    auto now = std::chrono::system_clock::now();
    std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday,
        utc.tm_hour, utc.tm_min, utc.tm_sec, static_cast<int>(ms));
    return text;
}
} // namespace

SimLog::~SimLog()
{
    if (m_file)
        std::fclose(m_file);
}

bool SimLog::Open(const std::string& path)
{
    std::string reason;
    int fd = corvanetov::FileSave::OpenForAppend(path, reason);
    m_file = fd >= 0 ? ::fdopen(fd, "a") : nullptr;
    if (fd >= 0 && !m_file)
        ::close(fd);
    return m_file != nullptr;
}

void SimLog::Request(int code, nlohmann::json fields)
{
    fields["dir"] = "rx";
    fields["cmd"] = SimCommand::Name(code);
    fields["code"] = code;
    Write(std::move(fields));
}

void SimLog::Answer(int code, nlohmann::json fields)
{
    fields["dir"] = "tx";
    fields["cmd"] = SimCommand::Name(code);
    fields["code"] = code;
    Write(std::move(fields));
}

void SimLog::Event(const std::string& name, nlohmann::json fields)
{
    fields["event"] = name;
    Write(std::move(fields));
}

void SimLog::Write(nlohmann::json line)
{
    if (!m_file)
        return;
    line["time"] = WallClock();
    line["t"] = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
    std::string text = line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    std::fputs(text.c_str(), m_file);
    std::fputc('\n', m_file);
    std::fflush(m_file);
}
