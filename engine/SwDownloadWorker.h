#pragma once

#include "engine/SwDownloadRequest.h"

namespace corvanetov {

struct DownloadImages;
namespace detail {
class OperationFrame;
}

// The software download: load the chosen images (asking for the font's
// start address), bring a handset in normal operation into its download
// mode, run the flash loader's protocol, wait for the handset to start its
// new software and identify it again ("Now running B410V01.06"). From the
// switch into download mode (or from the loader's first answer, for a
// handset already there) until the flash completes, its slot is noted as
// waiting in download mode (DownloadModeNotes), and a failure meanwhile
// says how to recover it.
// Reports on operation message 1527.
class SwDownloadWorker {
public:
    static void Run(SwDownloadRequest request);

private:
    static bool LoadImages(detail::OperationFrame& frame, const SwDownloadRequest& request, DownloadImages& images);
    static bool LoadFont(detail::OperationFrame& frame, const SwDownloadRequest& request, DownloadImages& images);
    static bool SwitchToDownloadMode(detail::OperationFrame& frame);
    static void IdentifyAfterFlash(detail::OperationFrame& frame);
};

} // namespace corvanetov
