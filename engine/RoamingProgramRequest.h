#pragma once

#include <cstdint>
#include <string>

namespace corvanetov {

// What a roaming programming is to write: the NAMs (0 = NAM1 only, 1 = NAM2
// only, 2 = both; a view whose option list has no entry chosen gives -1,
// which writes neither) and the file for each. The worker keeps its own copy.
struct RoamingProgramRequest {
    static constexpr int32_t kNam1Only = 0;
    static constexpr int32_t kNam2Only = 1;
    static constexpr int32_t kBoth = 2;

    int32_t nams = kNam1Only;
    std::string path1;
    std::string path2;

    bool Names(int nam) const { return nams == kBoth || nams == nam; }
    const std::string& Path(int nam) const { return nam == 0 ? path1 : path2; }
};

} // namespace corvanetov
