#pragma once

#include <functional>

namespace corvanetov {

// Ctrl-C and SIGTERM as requests, not as the end of the process: a thread
// of its own waits for them and calls onSignal for each, so that the tool
// can stop its work the way "Stop" does in the views and free its ports.
class CliSignals {
public:
    // False when no thread could watch them; the signals then act as before.
    static bool Watch(std::function<void()> onSignal);
};

} // namespace corvanetov
