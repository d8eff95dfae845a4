#pragma once

#include <array>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace corvanetov {

// Tools started together, as a station's or a script's are: `each(i)` runs
// in `count` processes forked first and then let go at the same moment.
// Each one's exit status (what `each` returned, below 256), in order, and
// the time from the moment they were let go until the last had ended.
struct AtOnce {
    std::vector<int> statuses;
    std::chrono::duration<double> seconds{};
};

inline void RunAtOnce(int count, const std::function<int(int)>& each, AtOnce& result)
{
    std::array<int, 2> start{};
    ASSERT_EQ(0, ::pipe(start.data()));
    std::vector<pid_t> tools;
    for (int tool = 0; tool < count; ++tool) {
        tools.push_back(::fork());
        ASSERT_GE(tools.back(), 0);
        if (tools.back() == 0) {
            char go = 0;
            ::close(start[1]);
            ::_exit(::read(start[0], &go, 1) == 0 ? each(tool) : 255);
        }
    }
    ::close(start[0]);
    const auto letGo = std::chrono::steady_clock::now();
    ::close(start[1]);
    for (pid_t tool : tools) {
        int status = 0;
        ASSERT_EQ(tool, ::waitpid(tool, &status, 0));
        ASSERT_TRUE(WIFEXITED(status));
        result.statuses.push_back(WEXITSTATUS(status));
    }
    result.seconds = std::chrono::steady_clock::now() - letGo;
}

} // namespace corvanetov
