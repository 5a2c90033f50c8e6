#include "modem-sim/simulator.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "modem-sim/terminal_line.h"

namespace {

volatile sig_atomic_t g_nSignalPipe = -1;

void OnSignal(int) {
    const char c = 's';
    if (g_nSignalPipe >= 0) {
        [[maybe_unused]] auto ignored = write(g_nSignalPipe, &c, 1);
    }
}

}  // namespace

bool CSimulator::Start() {
    if (!m_options.strLog.empty()) {
        m_pLog = std::fopen(m_options.strLog.c_str(), "w");
        if (!m_pLog) {
            std::fprintf(stderr, "mavris-modem-sim: cannot write %s: %s\n",
                         m_options.strLog.c_str(), std::strerror(errno));
            return false;
        }
    }
    std::string path;
    if (!m_options.strDevice.empty()) {
        path = m_options.strDevice;
        m_nIo = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (m_nIo < 0) {
            std::fprintf(stderr, "mavris-modem-sim: cannot open %s: %s\n", path.c_str(),
                         std::strerror(errno));
            return false;
        }
        if (isatty(m_nIo)) {
            MakeRaw(m_nIo);
        }
        m_nSettings = m_nIo;
    } else {
        m_nIo = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_nIo < 0 || grantpt(m_nIo) != 0 || unlockpt(m_nIo) != 0 || !ptsname(m_nIo)) {
            std::fprintf(stderr, "mavris-modem-sim: no pseudo-terminal: %s\n",
                         std::strerror(errno));
            return false;
        }
        path = ptsname(m_nIo);
        fcntl(m_nIo, F_SETFL, fcntl(m_nIo, F_GETFL) | O_NONBLOCK);
        // Holding the slave open keeps the master from seeing EIO between two clients and
        // keeps the raw settings; a modem line has no echo and no CR/LF translation.
        m_nSettings = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_nSettings < 0 || !MakeRaw(m_nSettings)) {
            std::fprintf(stderr, "mavris-modem-sim: cannot set up %s: %s\n", path.c_str(),
                         std::strerror(errno));
            return false;
        }
    }
    if (!m_options.strLink.empty()) {
        struct stat st {};
        if (lstat(m_options.strLink.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
            unlink(m_options.strLink.c_str());
        }
        if (symlink(path.c_str(), m_options.strLink.c_str()) != 0) {
            std::fprintf(stderr, "mavris-modem-sim: cannot link %s: %s\n",
                         m_options.strLink.c_str(), std::strerror(errno));
            return false;
        }
        m_strLinkMade = m_options.strLink;
    }
    if (pipe2(m_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return false;
    }
    g_nSignalPipe = m_signalPipe[1];
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);

    std::printf("%s %s\n", m_options.strDevice.empty() ? "pty" : "device", path.c_str());
    std::fflush(stdout);
    return true;
}

int CSimulator::Run() {
    auto lastInput = Clock::now();
    const auto idleLimit = std::chrono::seconds(m_options.nIdleExitSeconds);
    for (;;) {
        const auto now = Clock::now();
        while (!m_pending.empty() && m_pending.front().due <= now) {
            const Pending due = std::move(m_pending.front());
            m_pending.pop_front();
            WriteBytes(due.strBytes);
            if (due.bHangUp) {
                m_hangUpSince = now;
            }
        }
        if (m_hangUpSince && ReadyToHangUp(now)) {
            if (m_options.bVerbose) {
                std::fputs("mavris-modem-sim: hanging up\n", stderr);
            }
            return 0;
        }
        if (m_options.nIdleExitSeconds != 0 && m_pending.empty() && now - lastInput >= idleLimit) {
            std::fputs("mavris-modem-sim: idle, exiting\n", stderr);
            return 0;
        }

        // Sleep until input, a signal, the next burst or the idle limit, whichever is first.
        auto wake = now + std::chrono::hours(1);
        if (m_hangUpSince) {
            wake = now + std::chrono::milliseconds(20);
        } else if (!m_pending.empty()) {
            wake = m_pending.front().due;
        } else if (m_options.nIdleExitSeconds != 0) {
            wake = lastInput + idleLimit;
        }
        const auto waitMs =
            std::chrono::duration_cast<std::chrono::milliseconds>(wake - now).count() + 1;
        pollfd fds[2] = {{m_nIo, POLLIN, 0}, {m_signalPipe[0], POLLIN, 0}};
        const int ready = poll(fds, 2, static_cast<int>(std::max<long long>(waitMs, 0)));
        if (ready < 0 && errno != EINTR) {
            std::perror("mavris-modem-sim: poll");
            return 1;
        }
        if (ready <= 0) {
            continue;
        }
        if (fds[1].revents & POLLIN) {
            return 0;
        }
        if (fds[0].revents & POLLIN) {
            char buffer[4096];
            const ssize_t got = read(m_nIo, buffer, sizeof buffer);
            if (got > 0) {
                lastInput = Clock::now();
                OnBytes(buffer, static_cast<std::size_t>(got));
            } else if (got == 0 || (errno != EAGAIN && errno != EINTR)) {
                std::fprintf(stderr, "mavris-modem-sim: line lost: %s\n",
                             got == 0 ? "end of file" : std::strerror(errno));
                return 1;
            }
        } else if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            // Only a served device can hang up on us; a pty master never does while we hold
            // its slave. Avoid spinning on the condition.
            std::fputs("mavris-modem-sim: device hung up\n", stderr);
            return 1;
        }
    }
}

void CSimulator::OnBytes(const char* data, std::size_t size) {
    for (const std::string& command : m_splitter.Feed(std::string_view(data, size))) {
        if (m_pLog) {
            std::fprintf(m_pLog, "%s\n", EscapeForLog(command).c_str());
            if (m_options.bLogTermios) {
                std::fprintf(m_pLog, "%s\n", DescribeTermios(m_nSettings).c_str());
            }
            std::fflush(m_pLog);
        }
        if (m_options.bVerbose) {
            std::fprintf(stderr, "mavris-modem-sim: <- %s\n", EscapeForLog(command).c_str());
        }
        const bool bHungUpBefore = m_responder.HangUpDue();
        // Replies never overtake each other: each command's bursts follow the previous ones.
        auto at = m_pending.empty() ? Clock::now() : m_pending.back().due;
        for (ReplyBurst& burst : m_responder.Respond(command)) {
            at += std::chrono::milliseconds(burst.nDelayMs);
            m_pending.push_back({at, std::move(burst.strBytes), false});
        }
        if (!bHungUpBefore && m_responder.HangUpDue()) {
            at += std::chrono::milliseconds(m_responder.Profile().nHangUpDelayMs);
            m_pending.push_back({at, std::string(), true});
        }
    }
}

void CSimulator::WriteBytes(const std::string& bytes) {
    if (m_options.bVerbose && !bytes.empty()) {
        std::fprintf(stderr, "mavris-modem-sim: -> %s\n", EscapeForLog(bytes).c_str());
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = write(m_nIo, bytes.data() + done, bytes.size() - done);
        if (put > 0) {
            done += static_cast<std::size_t>(put);
        } else if (put < 0 && errno == EINTR) {
            continue;
        } else {
            // Nobody reads the line and its buffer is full: the rest is lost, as on a wire.
            if (m_options.bVerbose) {
                std::fprintf(stderr, "mavris-modem-sim: dropped %zu bytes\n", bytes.size() - done);
            }
            break;
        }
    }
}

// Dropping the line discards what the computer has not read yet, so the modem's last answer
// would never arrive: wait until it is read (or a few seconds have passed), as a modem's
// reply is on the wire before the carrier goes. The first moments are always waited out,
// since bytes written to a pty master take a little while to show in the slave's queue.
bool CSimulator::ReadyToHangUp(Clock::time_point now) const {
    const auto waited = now - *m_hangUpSince;
    if (waited < std::chrono::milliseconds(100)) {
        return false;
    }
    if (waited > std::chrono::seconds(5)) {
        return true;
    }
    int nUnread = 0;
    const bool bDevice = m_nSettings == m_nIo;
    if (ioctl(bDevice ? m_nIo : m_nSettings, bDevice ? TIOCOUTQ : FIONREAD, &nUnread) != 0) {
        return true;
    }
    return nUnread == 0;
}

void CSimulator::Shutdown() {
    g_nSignalPipe = -1;
    if (!m_strLinkMade.empty()) {
        unlink(m_strLinkMade.c_str());
        m_strLinkMade.clear();
    }
    for (int* fd : {&m_nSettings, &m_nIo, &m_signalPipe[0], &m_signalPipe[1]}) {
        if (*fd >= 0 && (fd != &m_nSettings || m_nSettings != m_nIo)) {
            close(*fd);
        }
    }
    m_nIo = m_nSettings = m_signalPipe[0] = m_signalPipe[1] = -1;
    if (m_pLog) {
        std::fclose(m_pLog);
        m_pLog = nullptr;
    }
}
