#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "diag/Exchange.h"
#include "engine/DownloadImages.h"
#include "engine/FlashPass.h"
#include "engine/OperationFrame.h"

namespace corvanetov {
class DiagChannel;
}

namespace corvanetov::detail {


// The flash loader's protocol for one download: the code passes and the font
// pass of the download's plan, then the jump that restarts the handset. It
// reports its steps and the progress of each pass through the operation's
// frame. A failure leaves its reason in the operation error text (nothing
// when a stop ended it) and asks nothing of the handset to restore it.
class FlashDownload {
public:
    FlashDownload(OperationFrame& frame, const DownloadImages& images, int option);

    bool Run();

private:
    bool RunPass(const FlashPass& pass);
    bool StartLoader(const FlashPass& pass);
    bool HintAtDiagnosticMode() const;
    bool JumpToLoader();
    bool Erase(const FlashPass& pass);
    bool ProgramBlocks(const FlashPass& pass);
    bool SendBlockUntilTaken(const FlashPass& pass, uint32_t block);
    bool SendWriteBlock(uint32_t k, const FlashPass& pass);
    void ReportBlocks(const FlashPass& pass, uint32_t taken);
    OperationFrame::Transfer Transferred() const;
    bool Reboot();

    // One request with its attempts; false with the error text when it was
    // not accepted.
    bool Request(const std::function<void(DiagChannel&)>& send, const Exchange::Params& params, const char* error);
    bool Pause(uint32_t ms) const;
    static bool Fail(const char* text);

    OperationFrame& m_frame;
    const DownloadImages& m_images;
    int m_option;
    uint64_t m_bytesDone = 0;
    uint64_t m_bytesTotal = 0;
    int32_t m_pass = 0; // the pass under way, from 1
    int32_t m_passes = 0;
};

} // namespace corvanetov::detail
