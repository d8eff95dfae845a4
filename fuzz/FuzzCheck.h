#pragma once

#include <cstdio>
#include <cstdlib>

namespace corvanetov {

// A property the input broke: told, then ended as a crash, so that the
// fuzzer keeps the input and the replay fails on it.
inline void FuzzCheck(bool holds, const char* what)
{
    if (holds)
        return;
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

} // namespace corvanetov
