#pragma once

#include <chrono>
#include <cstdio>
#include <string>

#include <nlohmann/json.hpp>

// The request log: one JSON object per line for every request received,
// answer sent and notable event, written through at once so that a test can
// read it while the handset runs. Nothing is kept in memory.
class SimLog {
public:
    SimLog() = default;
    SimLog(const SimLog&) = delete;
    SimLog& operator=(const SimLog&) = delete;
    ~SimLog();

    bool Open(const std::string& path);
    bool IsOpen() const { return m_file != nullptr; }

    void Request(int code, nlohmann::json fields);
    void Answer(int code, nlohmann::json fields);
    void Event(const std::string& name, nlohmann::json fields = nlohmann::json::object());

private:
    void Write(nlohmann::json line);

    std::FILE* m_file = nullptr;
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};
