#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

// The handset's flash as the loader sees it: erased ranges, and the bytes
// programmed into them by address. Unprogrammed flash reads 0xFF. An erase
// takes whole sectors of 8 KiB, the pages below. Pages are
// kept only where something was erased, so memory stays bounded by the
// capacity however often a tool flashes.
class FlashMemory {
public:
    // Erases every sector the range touches; false when that reaches past
    // the capacity.
    bool Erase(uint64_t start, uint64_t length);
    // False when any byte lies outside every erased range.
    bool Program(uint64_t address, const uint8_t* data, size_t count);
    std::vector<uint8_t> Read(uint64_t address, size_t count) const;

    // The programmed bytes from start up to the end of the contiguous run that
    // begins there (empty when nothing was programmed at start).
    std::vector<uint8_t> ProgrammedRun(uint64_t start) const;
    bool WriteRunToFile(uint64_t start, const std::string& path) const;

private:
    using RangeSet = std::map<uint64_t, uint64_t>; // start -> end (exclusive), disjoint

    static void AddRange(RangeSet& ranges, uint64_t start, uint64_t end);
    static bool Covers(const RangeSet& ranges, uint64_t start, uint64_t end);

    std::map<uint64_t, std::vector<uint8_t>> m_pages; // page start -> page bytes
    RangeSet m_erased;
    RangeSet m_programmed;
};
