#pragma once

#include <string>

// The names of the requests the handset understands, for fault flags
// ("status:2") and the request log ("StatusRequest").
class SimCommand {
public:
    // The request's name as the tool knows it; "Unknown" for other codes.
    static std::string Name(int code);
    // A short name ("status", "nvread", "block", ...), a hexadecimal code
    // ("0x0C") or a decimal one; false when none fits.
    static bool FromText(const std::string& text, int& code);
    // "name:N" with N >= 1.
    static bool ParseCount(const std::string& text, int& code, unsigned& count);
    // The short names, for --help.
    static std::string ShortNames();
};
