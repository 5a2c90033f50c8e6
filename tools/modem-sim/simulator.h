// The simulated modem on its terminal: serves a new pseudo-terminal (or an existing device),
// hands each received command line to CModemResponder and writes the reply bursts at their
// times, logs the commands, and ends on a signal, the idle time or the modem's hang-up.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <deque>
#include <optional>
#include <string>
#include <utility>

#include "modem-sim/modem_profile.h"
#include "modem-sim/sim_options.h"

class CSimulator {
public:
    explicit CSimulator(Options options)
        : m_options(std::move(options)), m_responder(m_options.profile) {}
    ~CSimulator() { Shutdown(); }

    bool Start();
    int Run();

private:
    using Clock = std::chrono::steady_clock;

    // Bytes written once due is reached; bHangUp marks the modem's hang-up after its answer.
    struct Pending {
        Clock::time_point due;
        std::string strBytes;
        bool bHangUp = false;
    };

    void OnBytes(const char* data, std::size_t size);
    void WriteBytes(const std::string& bytes);
    bool ReadyToHangUp(Clock::time_point now) const;
    void Shutdown();

    Options m_options;
    CModemResponder m_responder;
    CCommandSplitter m_splitter;
    std::deque<Pending> m_pending;
    std::optional<Clock::time_point> m_hangUpSince;
    int m_nIo = -1;        // pty master or the served device
    int m_nSettings = -1;  // where the line settings are read: the slave (kept open) or device
    std::string m_strLinkMade;
    std::FILE* m_pLog = nullptr;
    int m_signalPipe[2] = {-1, -1};
};
