#pragma once

#include <functional>

class QObject;

namespace corvanetov {

// Hands work from a worker to the thread of a QObject and waits until it
// has run there, the way the engine expects its reports and questions to be
// taken: synchronously. A stop request releases the waiting worker at once,
// so a view that stops its operation and waits for the worker never waits
// on a worker that waits on the view. Work that has not begun by then never
// runs. Work that has begun runs to its end on its own thread, so it keeps
// what it writes in state it shares, never on the worker's stack.
class StopAwareHandOver {
public:
    // True when work ran to its end and the worker waited for it; false
    // when a stop came first. On target's own thread, work runs at once.
    static bool Run(QObject* target, std::function<void()> work);
};

} // namespace corvanetov
