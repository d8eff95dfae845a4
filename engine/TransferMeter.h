#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <string>

#include "engine/OperationSink.h"

namespace corvanetov {

// How far a transfer is, for people: from the progress reports of an
// operation that moves data (the software download), the line every front
// end shows, "pass 1 of 2, 192.0 KiB of 480.0 KiB, 11.2 KiB/s, 0:25 left".
// The throughput is what the last few seconds moved: a pause between
// passes (the erase) soon drops out of it. Not thread-safe: one front end's
// thread feeds and reads it.
class TransferMeter {
public:
    using Clock = std::chrono::steady_clock;

    // A progress report; one that carries no amounts is ignored.
    void Add(const OperationMessage& progress, Clock::time_point at = Clock::now());
    bool Started() const { return m_total != 0; }
    // The whole transfer's percentage, all passes together.
    int32_t Percent() const;
    // The line as above; empty before the first report with amounts.
    std::string Text() const;

    // "1.5 MiB", "12.0 KiB", "512 B".
    static std::string Amount(double bytes);

private:
    struct Sample {
        Clock::time_point at;
        uint64_t bytes;
    };

    int32_t m_pass = 0;
    int32_t m_passes = 0;
    uint64_t m_done = 0;
    uint64_t m_total = 0;
    std::deque<Sample> m_samples;
};

} // namespace corvanetov
