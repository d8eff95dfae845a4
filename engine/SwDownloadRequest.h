#pragma once

#include <cstdint>
#include <string>

namespace corvanetov {

// The start block of a software download, from the view or the command
// line to the worker, which owns it.
struct SwDownloadRequest {
    int32_t option = 0; // 0 to 5
    std::string codePath;
    std::string fontPath;
    // The job's handset, as an earlier step of the job identified it (the
    // settings read of a download that keeps them); empty: any handset.
    std::string handsetEsn = {};
};

} // namespace corvanetov
