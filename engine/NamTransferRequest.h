#pragma once

#include <cstdint>
#include <string>

namespace corvanetov {

class NVList;

// The start block a front end hands the NAM read or write: the lists the
// transfer steps (owned by the front end, filled before the start, then
// left alone until the worker ends) and the number of items queued, the
// denominator of the percentage.
struct NamTransferRequest {
    int32_t total = 0;
    NVList* readList = nullptr;
    NVList* writeList = nullptr;
    uint8_t mode = 0; // the view's transfer mode: carried, not used by the worker
    // The job's handset, as an earlier step of the job identified it (the
    // read before a download that keeps the settings); empty: any handset.
    std::string handsetEsn = {};
};

} // namespace corvanetov
