#pragma once

#include <array>
#include <cstdint>

#include "nv/NvConstants.h"

namespace corvanetov {

// The work list of one NV transfer: the items a read or write pass sends, one
// request per entry, stepped by a cursor. Filled on the view's thread before
// the worker starts, then used by that worker alone.
class NVList {
public:
    struct Entry {
        uint16_t item = 0;
        int32_t index = 0; // the NAM number for per-NAM items
    };

    NVList();
    virtual ~NVList();

    // Empties the list and puts the cursor before the first entry.
    void Reset();
    // Appends an entry; a full list takes nothing and answers false.
    bool Add(uint16_t item, int32_t index);
    // Moves to the next entry and returns its item, or -1 past the last one.
    int32_t Next();
    // The current item again, to resend it after a failed exchange; past the
    // end it answers -1 and rewinds, so the next pass starts from the top.
    int32_t Current();
    // The current entry's index, 0 before the first entry.
    int32_t CurrentIndex() const;

    int32_t Count() const { return m_count; }
    int32_t Position() const { return m_position; }

private:
    std::array<Entry, nv::kListCapacity> m_entries{};
    int32_t m_position = -1;
    int32_t m_count = 0;
};

} // namespace corvanetov
