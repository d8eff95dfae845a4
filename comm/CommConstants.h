#pragma once

#include <cstddef>
#include <cstdint>

namespace comm {
constexpr size_t kBufferSize = 2049;      // response, frame and accumulation buffers
constexpr size_t kReadChunk = 2048;       // one Read of the receive thread
constexpr uint32_t kInitialReceiveBaud = 57600;
constexpr uint32_t kRawReceiveBaud = 9600; // receive baud copy that selects raw receive mode
constexpr uint32_t kDiagBaud = 115200;
constexpr uint8_t kNetworkPortFirst = 129; // port numbers above 128 use the network serial link
constexpr uint32_t kWriteTimeoutMs = 1000;
constexpr uint32_t kReadPauseMs = 10;
constexpr uint32_t kReceivePauseMs = 1;
constexpr size_t kTraceShortBytes = 20;
constexpr size_t kTraceLongBytes = 64;
constexpr size_t kRawSendLimit = 255;

// SendBootCommand codes
constexpr int kBootCommand1 = 1;
constexpr int kBootCommand2 = 2;
constexpr int kBootCommand5 = 5;
} // namespace comm
