#pragma once

#include <cstdint>
#include <string>

#include "engine/OperationSink.h"
#include "engine/TransferRate.h"

namespace corvanetov {

// How far a transfer is, for people: from the progress reports of an
// operation that moves data (the software download), the whole transfer's
// percentage and the line every front end shows, "pass 1 of 2, 192.0 KiB
// of 480.0 KiB, 11.2 KiB/s, 0:25 left". Not thread-safe: one front end's
// thread feeds and reads it.
class TransferMeter {
public:
    // A progress report; one that carries no amounts is ignored.
    void Add(const OperationMessage& progress, TransferRate::Clock::time_point at = TransferRate::Clock::now());
    bool Started() const { return m_total != 0; }
    // The whole transfer's percentage, all passes together.
    int32_t Percent() const;
    // The line as above; empty before the first report with amounts.
    std::string Text() const;

private:
    int32_t m_pass = 0;
    int32_t m_passes = 0;
    uint64_t m_done = 0;
    uint64_t m_total = 0;
    TransferRate m_rate;
};

} // namespace corvanetov
