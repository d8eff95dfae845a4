#pragma once

#include <cstddef>
#include <cstdint>

namespace corvanetov {

namespace comm {
constexpr size_t kReadChunk = 2048; // one Read of the receive thread
constexpr uint32_t kInitialReceiveBaud = 57600;
constexpr uint32_t kRawReceiveBaud = 9600; // receive baud copy that selects raw receive mode
constexpr uint32_t kDiagBaud = 115200;

// Line settings of every connection: 8 data bits, one stop bit, no parity.
constexpr uint8_t kByteSize = 8;
constexpr uint8_t kOneStopBit = 0;
constexpr uint8_t kNoParity = 0;

constexpr uint8_t kNetworkPortFirst = 129; // port numbers above 128 use the network serial link
// What the user calls port n: "COM" and the number.
constexpr char kComPrefix[] = "COM";
constexpr size_t kComPrefixLength = sizeof(kComPrefix) - 1;

// The response event: "RECEIVE_%x_EVENT" with the one index in use.
constexpr char kResponseEventFormat[] = "RECEIVE_%x_EVENT";
constexpr int kResponseEventIndex = 0;

constexpr uint32_t kWriteTimeoutMs = 1000;
// How long the receive thread waits for the rest of a chunk that does not
// yet look whole, with the line quiet.
constexpr uint32_t kReadSettleMs = 10;
constexpr size_t kTraceShortBytes = 20;
constexpr size_t kTraceLongBytes = 64;
} // namespace comm

} // namespace corvanetov
