#pragma once

#include <string>

#include "engine/FlashPlan.h"

namespace corvanetov {

// A download's plan for the user: the passes with their start requests,
// erase ranges and blocks, the bytes of each image written and not written,
// and the time the blocks take on the line at 115200 baud; as text or as
// one JSON object.
class CliFlashPlan {
public:
    CliFlashPlan(int option, const DownloadImages& images);

    // False when an image could not be read (its blocks are counted).
    bool Print(bool json) const;

private:
    void PrintText(const FlashPlan::Wire& wire) const;
    void PrintJson(const FlashPlan::Wire& wire) const;
    // Why the bytes of the code image past its passes stay unwritten.
    std::string UnwrittenReason() const;
    static double LineSeconds(const FlashPlan::Wire& wire);

    int m_option;
    const DownloadImages& m_images;
    FlashPlan m_plan;
};

} // namespace corvanetov
