#pragma once

#include <optional>

namespace corvanetov {

// What a download option (0 to 5) writes, and whether the handset is still in
// normal operation and must first be switched into download mode.
struct DownloadOption {
    bool code = false;
    bool font = false;
    bool switchToDownloadMode = false;

    // The error text of a code image that does not load.
    const char* CodeLoadError() const;

    // Nothing for a value outside 0 to 5.
    static std::optional<DownloadOption> Of(int index);
    // Any value: what the software download makes of it (a value outside 0
    // to 5 loads a code image only, and the flash loader refuses it).
    static DownloadOption Loading(int index);
};

} // namespace corvanetov
