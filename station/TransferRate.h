#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>

namespace corvanetov {

// How fast a transfer moves and how long it still has to go, from the
// amounts reported over the last few seconds: a pause between passes (the
// erase) soon drops out of the figure.
class TransferRate {
public:
    using Clock = std::chrono::steady_clock;

    void Add(uint64_t bytesDone, Clock::time_point at = Clock::now());
    void Clear() { m_samples.clear(); }
    // Bytes a second; nothing before two amounts that differ.
    std::optional<double> BytesPerSecond() const;
    // Seconds until bytesTotal at the present rate; nothing without a rate
    // or once the transfer is done.
    std::optional<uint64_t> SecondsLeft(uint64_t bytesTotal) const;

    // "1.5 MiB", "12.0 KiB", "512 B".
    static std::string Amount(double bytes);
    // "4:05".
    static std::string MinutesAndSeconds(uint64_t seconds);

private:
    struct Sample {
        Clock::time_point at;
        uint64_t bytes;
    };
    std::deque<Sample> m_samples;
};

} // namespace corvanetov
