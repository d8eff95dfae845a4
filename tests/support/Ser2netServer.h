#pragma once

#include <string>

#include "ChildProcess.h"

namespace corvanetov {

// A private ser2net for one test: it serves one serial device, raw, on a
// free TCP port of the loopback address, from a configuration file of its
// own in a folder the test gives, until it is stopped or goes out of scope.
class Ser2netServer {
public:
    // The program, empty when none is installed (Debian's ser2net package).
    static std::string Program();
    // Starts it on device and waits until it listens; false with why.
    bool Start(const std::string& device, const std::string& folder, std::string& why);
    // Ends it, and with it every connection it serves: a cut link.
    void Stop() { m_process.Stop(); }
    // Stops it and starts it again on the same port; false with why.
    bool Restart(std::string& why);
    // "127.0.0.1:PORT", for `ports telnet`.
    const std::string& Address() const { return m_address; }

private:
    // Runs the program on the configuration file written; false with why.
    bool Run(std::string& why);

    ChildProcess m_process;
    std::string m_folder;
    int m_port = 0;
    std::string m_address;
};

} // namespace corvanetov
