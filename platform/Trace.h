#pragma once

#include <cstdio>
#include <mutex>
#include <string>

namespace corvanetov {

// The debug trace: written only when CORVANETOV_TRACE (or SetTarget) names
// "stderr" or a file. Nothing reads it back.
class Trace {
public:
    static Trace& Instance();

    // Empty, or why the file cannot be added to (then there is no trace):
    // a trace is written only to a regular file (FileSave::OpenForAppend).
    std::string SetTarget(const std::string& target);
    bool Enabled() const;
    void Printf(const char* format, ...) __attribute__((format(printf, 2, 3)));

private:
    Trace();
    ~Trace();
    void CloseTarget();

    mutable std::mutex m_mutex;
    std::FILE* m_out = nullptr;
    bool m_ownsFile = false;
};

#define TRACE(...) Trace::Instance().Printf(__VA_ARGS__)

} // namespace corvanetov
