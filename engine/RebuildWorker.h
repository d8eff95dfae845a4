#pragma once

#include <cstdint>

namespace corvanetov {

namespace detail {
class OperationFrame;
}

// The rebuild: three boot commands to the handset's boot loader over the
// UART link at 9600 baud, on the selected port. Reports on operation
// message 1527.
class RebuildWorker {
public:
    static void Run();

private:
    // Up to 3 sends of the boot command; true on the boot loader's
    // acknowledgement.
    static bool SendBootCommand(int code, uint32_t timeoutMs, uint32_t pauseMs);
};

} // namespace corvanetov
