#pragma once

#include <string>
#include <vector>

namespace corvanetov {

class BaseComm;

// Why a channel could not be opened, in words a user can act on: the
// channel's own error, then what to do about it. Every front end shows these
// lines after "Cannot Open ComPort!".
class OpenFailureReason {
public:
    // One sentence a line; empty when the channel's last Open did not fail.
    static std::vector<std::string> Lines(const BaseComm& channel);
    // The same for an error text and the system's error number behind it.
    static std::vector<std::string> Lines(const std::string& error, int errorNumber);
    // The lines joined by line feeds.
    static std::string Text(const BaseComm& channel);
};

} // namespace corvanetov
