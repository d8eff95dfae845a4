#pragma once

#include <QString>
#include <cstdint>

namespace corvanetov {

// The selected port number's copy in the per-user store, value "Port Number"
// of "Software\CorvaneTOV\Corvane_VQX B410 Verizon", as decimal text. The
// selected port itself lives in the operation context, which the views and
// the command line hand to and take from here.
class PortStore {
public:
    // The stored port: 0 when the value is missing, empty, not a number
    // ("7zz" is none) or not a port number (above 255).
    static uint8_t LoadPortNumber();
    // Stores port ("0" for none); a store that cannot be written is ignored.
    static void SavePortNumber(uint8_t port);
    // The port number text holds: decimal digits and nothing else; 0 for
    // anything else or a number that names no port (above 255). A text a
    // person mistyped picks no port at all rather than one it starts with.
    static uint8_t PortNumberFromText(QStringView text);
};

} // namespace corvanetov
