#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "sim/AnswerSlicer.h"
#include "sim/SimConstants.h"
#include "sim/SimFrameReader.h"

class SimHandset;
class SimLog;

struct SimTransportOptions {
    uint32_t delayMs = 0;     // added before every answer, before scaling
    size_t garbageBytes = 0;  // junk frame of this many bytes after every answer
    bool loneFlag = false;    // each answer's closing flag in a write of its own
    std::optional<uint32_t> chunkSeed; // answers in random small pieces, chosen by this seed
    uint32_t lineRate = 0;    // bits per second, 8N1; 0 = as fast as the machine goes
    std::string byIdDir;      // where the udev-like link goes; empty for none
    std::string byIdName = sim::kDefaultByIdName;
    // The by-id link's name in download mode, where a real handset's loader
    // is another USB product; empty: the same name.
    std::string byIdDownloadName;
    std::string byPathDir;    // where the link named after the USB port goes; empty for none
    std::string byPathName = sim::kDefaultByPathName;
    std::string tcp;          // "host:port" to serve on as a network serial server
    // Told of a tool's open by inotify; false: looks for it every few
    // milliseconds, as where the user has no inotify instance left.
    bool watchOpens = true;
};

// Puts the simulated handset on a line: the master side of a pseudo-terminal
// and, optionally, a raw TCP socket. One thread runs everything; it sleeps in
// poll() with no time-out while nothing is scheduled, so an idle handset
// costs no CPU (but for its look for a tool's open without inotify). Answer delays and the line rate are kept by scheduling each
// write, each answer in one write, for the moment its last byte would arrive.
class SimTransport {
public:
    using Clock = std::chrono::steady_clock;

    SimTransport(SimHandset& handset, SimLog& log, SimTransportOptions options);
    SimTransport(const SimTransport&) = delete;
    SimTransport& operator=(const SimTransport&) = delete;
    ~SimTransport();

    bool Open(std::string& error);
    const std::string& SlavePath() const { return m_slavePath; }
    const std::string& ByIdPath() const { return m_byIdPath; }
    // Every name the by-id and by-path links may have, for their removal
    // where no destructor runs.
    std::vector<std::string> LinkNames() const;
    // "host:port" actually listened on (port 0 asks for a free one).
    const std::string& TcpAddress() const { return m_tcpAddress; }

    // Serves until Stop(). Safe to call Stop() from another thread or from a
    // signal handler.
    void Run();
    void Stop();
    bool HungUp() const { return m_hungUp; }

private:
    struct Timed {
        Clock::time_point due;
        std::vector<uint8_t> bytes;
    };
    struct Link {
        int fd = -1;
        bool attached = false; // a tool has the line open
        SimFrameReader reader;
        std::deque<Timed> input;  // received, waiting for the line time
        size_t inputBytes = 0;
        std::deque<Timed> output; // answers waiting for their moment
        size_t outputBytes = 0;
        size_t written = 0;       // of output.front()
        Clock::time_point inputFree{};
        Clock::time_point outputFree{};
    };

    bool OpenPty(std::string& error);
    bool MakeLink(const std::string& folder, const std::string& name, std::string& path, std::string& error) const;
    std::string ByIdName() const;
    // The by-id link follows the handset's mode.
    void FollowMode();
    void PlaceByIdLink();
    bool OpenTcp(std::string& error);
    void CloseLink(Link& link);
    static void DropOutput(Link& link);
    void HangUp();
    void CloseAll();
    void ReadFrom(Link& link);
    void Receive(Link& link, const uint8_t* data, size_t count);
    void Process(Link& link, const std::vector<uint8_t>& bytes);
    void Queue(Link& link, std::vector<uint8_t> bytes, Clock::time_point due);
    void FlushOutput(Link& link);
    void RunDue(Link& link);
    void AcceptClient();
    bool LookingForOpen() const;
    bool SlaveOpen() const;
    void OnSlaveOpened();
    Clock::duration LineTime(size_t bytes) const;
    bool NextDue(Clock::time_point& due) const;

    SimHandset& m_handset;
    SimLog& m_log;
    SimTransportOptions m_options;
    Link m_pty;
    Link m_client;
    int m_listenFd = -1;
    int m_inotifyFd = -1;
    int m_wakeFd = -1;
    bool m_hungUp = false;
    std::atomic<bool> m_stop{false};
    std::string m_slavePath;
    std::string m_byIdPath;
    std::string m_byPathPath;
    std::string m_byIdName;                    // the by-id link's name in the handset's mode
    std::optional<Clock::time_point> m_byIdDue; // when the link comes under that name
    std::string m_tcpAddress;
    std::minstd_rand m_noise{0x7E};
    AnswerSlicer m_slicer;
};
