#pragma once

#include <optional>

// What a download option (0 to 5) writes, and whether the handset is still in
// normal operation and must first be switched into download mode.
struct DownloadOption {
    bool code = false;
    bool font = false;
    bool switchToDownloadMode = false;

    // Nothing for a value outside 0 to 5.
    static std::optional<DownloadOption> Of(int index);
};
