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
};

} // namespace corvanetov
