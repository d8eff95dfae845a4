#pragma once

#include <functional>

namespace corvanetov {

// A forked copy of the test that cannot start threads, the way a process
// that reached the user's limit cannot: the thread limit drops to zero (for
// root, after dropping to "nobody", whom the limit holds). Run returns the
// check's verdict; a child that could still start a thread fails it, so the
// check never passes by not being put to the test.
class ThreadlessChild {
public:
    static bool Run(const std::function<bool()>& check);
    // Inside check: threads can be started again from here on.
    static void AllowThreads();
    // Inside check: threads are refused again from here on.
    static void RefuseThreads();
};

} // namespace corvanetov
