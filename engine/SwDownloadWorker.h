#pragma once

#include "engine/SwDownloadRequest.h"

namespace corvanetov {

struct DownloadImages;
namespace detail {
class OperationFrame;
}

// The software download: load the chosen images (asking for the font's
// start address), bring a handset in normal operation into its download
// mode, run the flash loader's protocol and wait for the handset to start
// its new software. Reports on operation message 1527.
class SwDownloadWorker {
public:
    static void Run(SwDownloadRequest request);

private:
    static bool LoadImages(detail::OperationFrame& frame, const SwDownloadRequest& request, DownloadImages& images);
    static bool LoadFont(detail::OperationFrame& frame, const SwDownloadRequest& request, DownloadImages& images);
    static bool SwitchToDownloadMode(detail::OperationFrame& frame);
};

} // namespace corvanetov
