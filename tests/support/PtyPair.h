#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace corvanetov {

// A pseudo-terminal for channel tests: the test holds the master side and
// plays the handset; the channel opens the slave device.
class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    const std::string& SlavePath() const { return m_slavePath; }
    void Write(const std::vector<uint8_t>& bytes);
    // Collects what the channel wrote until `count` bytes arrived or the
    // time-out passed.
    std::vector<uint8_t> ReadUpTo(size_t count, std::chrono::milliseconds timeout);
    // Collects until nothing more arrives for `quiet`.
    std::vector<uint8_t> ReadUntilQuiet(std::chrono::milliseconds quiet);
    void CloseMaster();

private:
    int m_master = -1;
    std::string m_slavePath;
};

} // namespace corvanetov
