#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "comm/PortResolver.h"
#include "diag/DiagChannel.h"
#include "diag/Exchange.h"
#include "sim/FaultPlan.h"
#include "sim/SimHandset.h"
#include "sim/SimLog.h"
#include "sim/SimState.h"
#include "sim/SimTransport.h"

namespace corvanetov {

// A simulated handset on its own thread and the tool's channel talking to it
// over the pseudo-terminal (or TCP), as the engine would.
class SimLine : public ::testing::Test {
protected:
    using Bytes = std::vector<uint8_t>;
    static constexpr uint32_t kWaitMs = 200000; // 2 s at the tests' time scale: "it happens"

    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_dir = std::filesystem::temp_directory_path() / ("sim-" + std::to_string(::getpid()) + "-" + info->name());
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
        m_handsetOptions.roamingDir = m_dir.string();
        m_handsetOptions.statePath = (m_dir / "state.json").string();
        m_handsetOptions.flashOut = (m_dir / "flash.bin").string();
        ASSERT_TRUE(m_log.Open((m_dir / "log.jsonl").string()));
    }

    void TearDown() override
    {
        StopSim();
        std::filesystem::remove_all(m_dir);
    }

    void StartSim()
    {
        m_handset = std::make_unique<SimHandset>(m_state, m_faults, m_log, m_handsetOptions);
        m_transport = std::make_unique<SimTransport>(*m_handset, m_log, m_transportOptions);
        std::string error;
        ASSERT_TRUE(m_transport->Open(error)) << error;
        m_thread = std::thread([this] { m_transport->Run(); });
    }

    void StopSim()
    {
        m_comm.reset();
        if (m_thread.joinable()) {
            m_transport->Stop();
            m_thread.join();
        }
    }

    // The order of InitComPort: event, line settings, I/O events, open, no lead byte.
    void Connect(uint8_t port = 1)
    {
        std::string target = port >= comm::kNetworkPortFirst ? m_transport->TcpAddress() : m_transport->SlavePath();
        PortResolver::Instance().Set([target](uint8_t) { return target; });
        m_comm = std::make_unique<DiagChannel>();
        m_comm->CreateResponseEvent(0);
        m_comm->Configure(port, comm::kDiagBaud, 8, 0, 0);
        ASSERT_TRUE(m_comm->CreateIoEvents());
        ASSERT_TRUE(m_comm->Open()) << m_comm->OpenError();
        m_comm->SetLeadFlag(0);
    }

    bool Ask(const std::function<void()>& send, int expected, uint32_t waitMs = kWaitMs)
    {
        return m_exchange.Transact(*m_comm, send, {waitMs, 10, expected});
    }

    // A request of the download protocol: long frame, leading flag.
    bool AskLoader(const Bytes& request, int expected = -1, uint32_t waitMs = kWaitMs)
    {
        return Ask(
            [&] {
                m_comm->SetLeadingFlagMode(1);
                m_comm->SendLargeFrame(request.data(), static_cast<uint16_t>(request.size()));
            },
            expected, waitMs);
    }

    const uint8_t* Answer() const { return m_exchange.CurrentResponse(); }

    std::vector<std::string> LogLines() const
    {
        std::ifstream in(m_dir / "log.jsonl");
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

    size_t LogCount(const std::string& needle) const
    {
        size_t count = 0;
        for (const std::string& line : LogLines())
            count += line.find(needle) != std::string::npos;
        return count;
    }

    std::filesystem::path m_dir;
    SimState m_state;
    FaultPlan m_faults;
    SimLog m_log;
    SimHandsetOptions m_handsetOptions;
    SimTransportOptions m_transportOptions;
    std::unique_ptr<SimHandset> m_handset;
    std::unique_ptr<SimTransport> m_transport;
    std::thread m_thread;
    std::unique_ptr<DiagChannel> m_comm;
    Exchange m_exchange;
};

} // namespace corvanetov
